#include "market/packagecache.h"

#include "app/configsafety.h"
#include "app/paths.h"
#include "market/marketcatalogue.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>

#include <algorithm>

QString registryPath()
{
    return cachedAppDataDir() + QStringLiteral("/apps_registry.json");
}

QString appsRootDir()
{
    return cachedAppDataDir() + QStringLiteral("/apps");
}

QString packageCacheDir()
{
    return appsRootDir() + QStringLiteral("/_cache");
}

QString resolveCachedPackagePath(const QString& cacheDir, const QString& appId, const QString& version,
                                 const QString& fileName)
{
    if (!isMarketAppId(appId) || !isSafeAppId(version))
        return QString();
    if (fileName != version + QLatin1String(".zip") || fileName.size() > 128
        || !fileName.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive) || !isSafeAppId(fileName))
        return QString();
    const QString root = QDir::cleanPath(QDir(cacheDir).absolutePath());
    if (QFileInfo(root + QLatin1Char('/') + appId).isSymLink())
        return QString();
    const QString path = QDir::cleanPath(root + QLatin1Char('/') + appId + QLatin1Char('/') + fileName);
    if (!path.startsWith(root + QLatin1Char('/'), Qt::CaseSensitive))
        return QString();
    return path;
}

QJsonObject readCacheIndex(const QString& cacheDir)
{
    QFile f(cacheDir + QStringLiteral("/index.json"));
    if (!f.open(QIODevice::ReadOnly))
        return QJsonObject();
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(f.read(kMaxConfigFileBytes), &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject()) {
        qWarning() << "[jsonutil] object parse failed:"
                   << (err.error != QJsonParseError::NoError ? err.errorString() : QStringLiteral("not an object"));
        return QJsonObject();
    }
    return doc.object();
}

void writeCacheIndex(const QString& cacheDir, const QJsonObject& index)
{
    QDir().mkpath(cacheDir);
    QSaveFile f(cacheDir + QStringLiteral("/index.json"));
    f.setDirectWriteFallback(false);
    if (!f.open(QIODevice::WriteOnly))
        return;
    const QByteArray bytes = QJsonDocument(index).toJson(QJsonDocument::Compact);
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        qWarning() << "writeCacheIndex: short write";
        return;
    }
    if (!f.commit())
        qWarning() << "writeCacheIndex: commit failed" << f.errorString();
}

namespace {

qint64 nowSecs()
{
    return QDateTime::currentSecsSinceEpoch();
}

// "savedAt" as a whole number of seconds; false when it is no number.
bool readSavedAt(const QJsonValue& v, qint64* out)
{
    if (!v.isDouble())
        return false;
    *out = v.toInteger();
    return true;
}

} // namespace

QString lookupCachedPackage(const QString& appId, const QString& version)
{
    if (appId.isEmpty() || version.isEmpty())
        return QString();
    const QString cacheDir = packageCacheDir();
    const QJsonObject entry =
        readCacheIndex(cacheDir).value(appId).toObject().value(version).toObject();
    if (entry.isEmpty())
        return QString();
    qint64 savedAt = 0;
    if (!readSavedAt(entry.value(QLatin1String("savedAt")), &savedAt) || savedAt <= 0)
        return QString();
    if (nowSecs() - savedAt > kCacheMaxAgeSecs)
        return QString();
    const QString path =
        resolveCachedPackagePath(cacheDir, appId, version, entry.value(QLatin1String("file")).toString());
    if (path.isEmpty() || !QFileInfo::exists(path))
        return QString();
    return path;
}

void storePackageInCache(const QString& appId, const QString& version, const QString& sourceZip)
{
    if (appId.isEmpty() || version.isEmpty() || !QFileInfo::exists(sourceZip) || !isSafeAppId(version))
        return;
    const QString cacheDir = packageCacheDir();
    const QString appDir = cacheDir + QLatin1Char('/') + appId;
    if (!QDir().mkpath(appDir))
        return;
    const QString dest = appDir + QLatin1Char('/') + version + QStringLiteral(".zip");
    if (!removeFileLogged(dest, "cache-overwrite")) {
        removeFileLogged(sourceZip, "archive-aborted");
        return;
    }
    if (!QFile::rename(sourceZip, dest)) {
        if (!QFile::copy(sourceZip, dest))
            return;
        removeFileLogged(sourceZip, "download-temp");
    }
    QJsonObject index = readCacheIndex(cacheDir);
    QJsonObject versions = index.value(appId).toObject();
    versions.insert(version, QJsonObject{{QStringLiteral("file"), QString(version + QStringLiteral(".zip"))},
                                         {QStringLiteral("savedAt"), QJsonValue(nowSecs())}});
    index.insert(appId, versions);
    writeCacheIndex(cacheDir, index);
}

void sweepPackageCache()
{
    const QString cacheDir = packageCacheDir();
    if (!QFileInfo(cacheDir).isDir())
        return;
    const QJsonObject index = readCacheIndex(cacheDir);
    const qint64 now = nowSecs();

    struct Record {
        QString appId, version, path, file;
        qint64 savedAt = 0;
        qint64 size = 0;
    };
    QList<Record> kept;
    for (auto app = index.begin(); app != index.end(); ++app) {
        const QJsonObject versions = app.value().toObject();
        for (auto ver = versions.begin(); ver != versions.end(); ++ver) {
            const QJsonObject entry = ver.value().toObject();
            Record r;
            r.appId = app.key();
            r.version = ver.key();
            r.file = entry.value(QLatin1String("file")).toString();
            if (!readSavedAt(entry.value(QLatin1String("savedAt")), &r.savedAt)) {
                qWarning() << "cache index: bad savedAt, treating as fresh" << r.appId << r.version;
                r.savedAt = now;
            }
            r.path = resolveCachedPackagePath(cacheDir, r.appId, r.version, r.file);
            if (r.path.isEmpty()) {
                qWarning() << "cache index: skip unsafe entry" << r.appId << r.version << r.file;
                continue;
            }
            const QFileInfo info(r.path);
            r.size = info.size();
            if (r.savedAt < 1 || now - r.savedAt > kCacheMaxAgeSecs)
                removeFileLogged(r.path, "stale-cache");
            else if (info.exists())
                kept.append(r);
        }
    }
    std::stable_sort(kept.begin(), kept.end(), [](const Record& a, const Record& b) { return a.savedAt > b.savedAt; });

    QList<Record> stayed;
    QHash<QString, int> perApp;
    for (const Record& r : kept) {
        if (++perApp[r.appId] <= kCacheVersionsPerApp)
            stayed.append(r);
        else
            removeFileLogged(r.path, "per-app-limit");
    }
    qint64 sum = 0;
    for (const Record& r : stayed)
        sum += r.size;
    // `stayed` runs newest first: the oldest is at the back.
    while (sum > kCacheMaxBytes && !stayed.isEmpty()) {
        const Record oldest = stayed.takeLast();
        removeFileLogged(oldest.path, "total-limit");
        sum -= oldest.size;
    }

    QJsonObject fresh;
    for (const Record& r : stayed) {
        QJsonObject versions = fresh.value(r.appId).toObject();
        versions.insert(r.version, QJsonObject{{QStringLiteral("file"), r.file}, {QStringLiteral("savedAt"), QJsonValue(r.savedAt)}});
        fresh.insert(r.appId, versions);
    }
    writeCacheIndex(cacheDir, fresh);

    const QFileInfoList dirs =
        QDir(cacheDir).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QFileInfo& d : dirs) {
        if (fresh.contains(d.fileName()))
            continue;
        if (d.isSymLink()) {
            qWarning() << "cache sweep: skip symlink dir" << d.filePath();
            continue;
        }
        if (!QDir(d.filePath()).removeRecursively())
            qWarning() << "cache sweep: failed to remove stale dir" << d.filePath();
    }
}

QByteArray sha256OfFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&f))
        return QByteArray();
    return hash.result();
}
