#include "main/crashhandler.h"

#include "app/paths.h"
#include "platform/crashsignals.h"

#include <QDir>

namespace {

// Longest folder that still leaves the dump name its room.
constexpr qsizetype kMaxCrashFolder = 218;

} // namespace

QString crashFolderFor(const QString& dataRoot, const QString& fallback)
{
    if (dataRoot.isEmpty())
        return QString();
    return dataRoot.size() > kMaxCrashFolder ? fallback : dataRoot;
}

void initCrashHandler()
{
    const QString folder = crashFolderFor(cachedAppDataDir(), QLatin1String(kCrashFallbackFolder));
    if (folder.isEmpty())
        return;
    // A folder that cannot be made only costs the dumps: the handler's
    // writes then fail quietly.
    QDir().mkpath(folder);
    installCrashSignalHandler(folder);
}
