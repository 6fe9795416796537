#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// The market's places under the data root, and the cache of verified
// packages: one folder per app holding "<version>.zip" files, described by
// "index.json", kept for a day, two versions per app and 1 GiB in all.

QString registryPath();      // data root + "/apps_registry.json"
QString appsRootDir();       // data root + "/apps"
QString packageCacheDir();   // apps root + "/_cache"

constexpr qint64 kCacheMaxAgeSecs = 86400;
constexpr int kCacheVersionsPerApp = 2;
constexpr qint64 kCacheMaxBytes = 1073741824LL;

// The cached package "<version>.zip" of `appId` inside `cacheDir`, or empty
// when any part of it is unsafe or its folder is a symbolic link.
QString resolveCachedPackagePath(const QString& cacheDir, const QString& appId, const QString& version,
                                 const QString& fileName);

QJsonObject readCacheIndex(const QString& cacheDir);
void writeCacheIndex(const QString& cacheDir, const QJsonObject& index);

// The path of a cached package of that version younger than a day, or empty.
QString lookupCachedPackage(const QString& appId, const QString& version);
// Moves (or copies) `sourceZip` into the cache and records it.
void storePackageInCache(const QString& appId, const QString& version, const QString& sourceZip);
// Drops stale, surplus and unreferenced packages and rewrites the index.
void sweepPackageCache();

// The 32-byte SHA-256 of the whole file; empty when it cannot be opened.
// Runs off the GUI thread.
QByteArray sha256OfFile(const QString& path);
