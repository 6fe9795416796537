#pragma once

#include <QString>

// Usage reports of market apps: "install", "uninstall" or "launch", fire and
// forget. Nothing for an empty id or event; the token is sent when set.
void reportAppStat(const QString& appId, const QString& event, const QString& token);

// The id of the market app whose folder (below "/apps/" of the data root)
// holds `path`, or empty.
QString marketAppIdFromPath(const QString& path);
QString marketAppIdFromPath(const QString& path, const QString& dataRoot);
