#pragma once

#include "market/marketrow.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QUrl>

// The checks that guard what the web service, the registry file and the
// package cache hand to the market, and the pure readers of catalogue data.

// The largest package, declared length or part file the market accepts.
constexpr qint64 kMaxPackageBytes = 2147483648LL;

// A valid URL with the scheme http or https and a non-empty host.
bool isHttpUrl(const QUrl& url);
// 1 to 64 characters of [0-9A-Za-z._+-], without "..": versions and cache
// file names.
bool isSafeAppId(const QString& text);
// 1 to 128 characters without "..", "/", "\" or ":": launch file names.
bool isSafeFileName(const QString& text);
// An app id as the catalogue, the registry and the cache accept it: 1 to
// 48 characters of [A-Za-z0-9_-], and none of the names the updater keeps
// for its own files beside the app manifests.
bool isMarketAppId(const QString& id);

// Removes `path`; true when nothing is there afterwards. A failure is
// logged with `tag`, the occasion.
bool removeFileLogged(const QString& path, const char* tag);

// The market's own size text (the backup has another of that name):
// "12.3 KB" / "4.5 MB"; empty below one byte.
namespace market {
QString formatSize(qint64 bytes);
}

// A number or a numeric text, clamped to 0 .. 2 GiB; anything else is 0.
qint64 readClampedSize(const QJsonValue& value);

// The catalogue entries of an index page's "apps" array, in array order;
// invalid entries are skipped. Only catalogue members are filled.
QList<MarketAppRow> parseIndexApps(const QJsonArray& apps);

// Carries everything that is not catalogue data from `previous` (by id; the
// later of two rows with one id wins) into the freshly parsed `fresh` rows,
// and the installed version from `installed`. `appsRoot` is where the
// launch files of installed apps lie, for their size.
void mergeIndexRows(QList<MarketAppRow>& fresh, const QList<MarketAppRow>& previous,
                    const InstalledAppMap& installed, const QString& appsRoot);

// The start of a "Content-Range" value "bytes START-END/LENGTH", or -1 when
// the value is not of that form or START lies after END.
qint64 contentRangeStart(const QByteArray& value);
