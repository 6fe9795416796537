#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// Shell places carried by a drop: the non-file URIs of a "text/uri-list"
// payload (trash:///, computer:///, network:///) that name a known place,
// as (display name, parsing name) pairs in drop order; the display name is
// translated, the parsing name is the place's "::{GUID}". File URIs and
// unknown URIs are skipped; a list of more than 4096 URIs gives nothing.
QList<QPair<QString, QString>> parseShellIdListArray(const QByteArray& uriList);
