#include "platform/applicationfinder.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

struct EntryKeys {
    QString type;
    QString tryExec;
    bool hidden = false;
};

// Only the keys that decide whether the entry is usable; localised keys
// ("Name[de]") and other groups are of no interest here.
EntryKeys readEntryKeys(const QString& path)
{
    EntryKeys keys;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return keys;
    bool inMainGroup = false;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine(64 * 1024).trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            if (inMainGroup)
                break;
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup)
            continue;
        const int eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArray key = line.left(eq).trimmed();
        const QString value = QString::fromUtf8(line.mid(eq + 1).trimmed());
        if (key == "Type")
            keys.type = value;
        else if (key == "TryExec")
            keys.tryExec = value;
        else if (key == "Hidden")
            keys.hidden = value == QLatin1String("true");
    }
    return keys;
}

bool programExists(const QString& program)
{
    if (program.startsWith(QLatin1Char('/'))) {
        const QFileInfo info(program);
        return info.isFile() && info.isExecutable();
    }
    return !QStandardPaths::findExecutable(program).isEmpty();
}

} // namespace

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
            const EntryKeys keys = readEntryKeys(path);
            const bool usable = !keys.hidden && keys.type == QLatin1String("Application")
                && (keys.tryExec.isEmpty() || programExists(keys.tryExec));
            if (usable)
                return QFileInfo(path).absoluteFilePath();
            break;
        }
    }
    return QString();
}
