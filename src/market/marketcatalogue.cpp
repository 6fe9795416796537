#include "market/marketcatalogue.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>

bool isHttpUrl(const QUrl& url)
{
    if (!url.isValid())
        return false;
    const QString scheme = url.scheme().toLower();
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        && !url.host(QUrl::FullyDecoded).isEmpty();
}

bool isSafeAppId(const QString& text)
{
    static const QRegularExpression allowed(QStringLiteral("^[0-9A-Za-z._+-]+$"));
    return !text.isEmpty() && text.size() <= 64 && allowed.match(text).hasMatch()
        && !text.contains(QLatin1String(".."));
}

bool isSafeFileName(const QString& text)
{
    return !text.isEmpty() && text.size() <= 128 && !text.contains(QLatin1String(".."))
        && !text.contains(QLatin1Char('/')) && !text.contains(QLatin1Char('\\'))
        && !text.contains(QLatin1Char(':'));
}

bool isMarketAppId(const QString& id)
{
    if (id.isEmpty() || id.size() > 48)
        return false;
    for (const QChar c : id) {
        const ushort u = c.unicode();
        const bool ok = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_'
            || u == '-';
        if (!ok)
            return false;
    }
    // The manifests of the apps share "/update/apps/" with the updater's
    // own files; an app of such a name would shadow or be shadowed by them.
    // Servers on case-insensitive file systems make "Panel" the same file.
    static const char* const reserved[] = {"panel", "panel-beta", "history"};
    for (const char* name : reserved) {
        if (id.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return false;
    }
    return true;
}

bool removeFileLogged(const QString& path, const char* tag)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    if (QFile::remove(path))
        return true;
    const QFileInfo after(path);
    if (!after.exists() && !after.isSymLink())
        return true;
    qWarning() << "remove failed:" << tag << path;
    return false;
}

QString market::formatSize(qint64 bytes)
{
    if (bytes < 1)
        return QString();
    if (bytes < 1048576)
        return QStringLiteral("%1 KB").arg(double(bytes) / 1024.0, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg(double(bytes) / 1048576.0, 0, 'f', 1);
}

qint64 readClampedSize(const QJsonValue& value)
{
    double d = 0;
    if (value.isDouble()) {
        d = value.toDouble();
    } else if (value.isString()) {
        bool ok = false;
        d = value.toString().trimmed().toDouble(&ok);
        if (!ok)
            d = 0;
    }
    if (!std::isfinite(d) || d <= 0)
        return 0;
    if (d >= double(kMaxPackageBytes))
        return kMaxPackageBytes;
    return qint64(d);
}

QList<MarketAppRow> parseIndexApps(const QJsonArray& apps)
{
    QList<MarketAppRow> rows;
    for (const QJsonValue& v : apps) {
        const QJsonObject o = v.toObject();
        MarketAppRow row;
        row.id = o.value(QLatin1String("id")).toString();
        if (!isMarketAppId(row.id))
            continue;
        row.name = o.value(QLatin1String("name")).toString();
        row.desc = o.value(QLatin1String("desc")).toString();
        row.category = o.value(QLatin1String("category")).toString();
        row.searchKey = (row.name + QLatin1Char(' ') + row.desc + QLatin1Char(' ') + row.category).toLower();
        row.iconUrl = o.value(QLatin1String("icon")).toString();
        row.version = o.value(QLatin1String("version")).toString();
        if (!isSafeAppId(row.version))
            row.version.clear();
        row.size = readClampedSize(o.value(QLatin1String("size")));
        row.exeSize = readClampedSize(o.value(QLatin1String("exeSize")));
        row.demoUrl = o.value(QLatin1String("demo")).toString();
        row.isWeb = o.value(QLatin1String("type")).toString() == QLatin1String("web");
        row.webUrl = o.value(QLatin1String("url")).toString();
        if (row.isWeb && !isHttpUrl(QUrl(row.webUrl)))
            continue;
        rows.append(row);
    }
    return rows;
}

void mergeIndexRows(QList<MarketAppRow>& fresh, const QList<MarketAppRow>& previous,
                    const InstalledAppMap& installed, const QString& appsRoot)
{
    QHash<QString, const MarketAppRow*> old;
    for (const MarketAppRow& r : previous)
        old.insert(r.id, &r);
    for (MarketAppRow& row : fresh) {
        if (const MarketAppRow* o = old.value(row.id)) {
            row.installedSize = o->installedSize;
            row.downloading = o->downloading;
            row.paused = o->paused;
            row.cancelRequested = o->cancelRequested;
            row.installing = o->installing;
            row.received = o->received;
            row.total = o->total;
            row.error = o->error;
            row.errorBody = o->errorBody;
            row.resumeRetried = o->resumeRetried;
            row.rangeMismatch = o->rangeMismatch;
            row.generation = o->generation;
            row.extracting = o->extracting;
            row.reply = o->reply;
            row.packageUrl = o->packageUrl;
            row.sha256 = o->sha256;
            row.launch = o->launch;
            row.manifestVersion = o->manifestVersion;
            row.sdkVersion = o->sdkVersion;
            row.icon = o->icon;
        }
        const auto it = installed.constFind(row.id);
        row.installedVersion = it == installed.constEnd() ? QString() : it->version;
        if (!row.installedVersion.isEmpty() && row.installedSize < 1 && !it->launch.isEmpty()) {
            const QFileInfo exe(appsRoot + QLatin1Char('/') + row.id + QLatin1Char('/') + it->launch);
            if (exe.isFile() && !exe.isSymLink())
                row.installedSize = exe.size();
        }
    }
}

qint64 contentRangeStart(const QByteArray& value)
{
    const int space = value.indexOf(' ');
    if (space < 0 || value.left(space).toLower() != "bytes")
        return -1;
    const QByteArray rest = value.mid(space + 1);
    const int dash = rest.indexOf('-');
    const int slash = rest.indexOf('/');
    if (dash <= 0 || slash < 0 || slash < dash)
        return -1;
    auto decimal = [](const QByteArray& digits, qint64* out) {
        if (digits.isEmpty() || digits.size() > 18)
            return false;
        for (char c : digits) {
            if (c < '0' || c > '9')
                return false;
        }
        *out = digits.toLongLong();
        return true;
    };
    qint64 start = 0, end = 0;
    if (!decimal(rest.left(dash), &start) || !decimal(rest.mid(dash + 1, slash - dash - 1), &end))
        return -1;
    return start <= end ? start : -1;
}
