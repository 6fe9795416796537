#pragma once

#include "model/panelmodel.h"

#include <QByteArray>
#include <QList>

// Direct conversion between the group list and the bytes of "layout.json",
// without building a JSON tree first: the layout is written after every
// change, and a tree of thousands of small objects costs more than the file.

// The indented document, byte for byte what QJsonDocument writes for
// layoutToJson(groups).
QByteArray writeLayoutJson(const QList<PanelGroup>& groups);

// Reads a well-formed layout document straight into groups. Returns false,
// leaving `out` unspecified, for anything it cannot vouch for: malformed or
// merely unusual input (duplicate keys, escapes in keys, deep nesting,
// control characters...) and anything the lenient load would drop (unknown
// keys, values of the wrong type, items without a path). The caller then
// takes the general JSON parser, which decides between damage and a lenient
// load and says what was dropped.
bool readLayoutJsonFast(const QByteArray& bytes, QList<PanelGroup>* out);
