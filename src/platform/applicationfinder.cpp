#include "platform/applicationfinder.h"

#include "platform/desktopentry.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace {

bool programExists(const QString& program)
{
    if (program.startsWith(QLatin1Char('/'))) {
        const QFileInfo info(program);
        return info.isFile() && info.isExecutable();
    }
    return !QStandardPaths::findExecutable(program).isEmpty();
}

} // namespace

QString ApplicationFinder::findProgram(const QString& name) const
{
    return QStandardPaths::findExecutable(name);
}

XdgApplicationFinder::XdgApplicationFinder(const QStringList& applicationDirs)
    : m_dirs(applicationDirs.isEmpty()
                 ? QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)
                 : applicationDirs)
{
}

QString XdgApplicationFinder::findDesktopEntry(const QStringList& desktopIds) const
{
    for (const QString& id : desktopIds) {
        if (id.isEmpty() || id.contains(QLatin1Char('/')))
            continue;
        for (const QString& dir : m_dirs) {
            const QString path = dir + QLatin1Char('/') + id;
            if (!QFileInfo(path).isFile())
                continue;
            // The first file with this id decides, usable or not: a user's
            // copy with Hidden=true removes the system's entry.
            // An unreadable file stays invalid and so counts as unusable.
            DesktopEntry entry;
            readDesktopEntryFile(path, &entry);
            const bool usable = !entry.hidden && entry.type == QLatin1String("Application")
                && (entry.tryExec.isEmpty() || programExists(entry.tryExec));
            if (usable)
                return QFileInfo(path).absoluteFilePath();
            break;
        }
    }
    return QString();
}
