#include "panel/autostart.h"

#include "app/configsafety.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

QString autoStartEntryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart/TarnavelPanel.desktop");
}

QString desktopExecQuoted(const QString& program)
{
    // Quoting rules of the Exec key first, then the backslash escape of
    // every string value of the file.
    QString quoted;
    for (const QChar ch : program) {
        if (ch == u'"' || ch == u'`' || ch == u'$' || ch == u'\\')
            quoted += u'\\';
        quoted += ch;
    }
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    quoted.replace(u'%', QStringLiteral("%%"));
    return u'"' + quoted + u'"';
}

int setAutoStart(bool on, const QString& executable, QString* error)
{
    const QString path = autoStartEntryPath();
    if (!on) {
        if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
            return 0;
        if (QFile::remove(path))
            return 0;
        if (error)
            *error = QStringLiteral("cannot remove ") + path;
        return 1;
    }
    const QString program = executable.isEmpty() ? QCoreApplication::applicationFilePath() : executable;
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=TarnavelPanel\n"
                                        "Exec=%1\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(desktopExecQuoted(program));
    const QByteArray bytes = text.toUtf8();
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.read(bytes.size() + 1) == bytes)
        return 0;
    existing.close();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        if (error)
            *error = QStringLiteral("cannot create the autostart folder");
        return 1;
    }
    QString why;
    if (!saveFileAtomically(path, bytes, &why)) {
        if (error)
            *error = why;
        return 1;
    }
    return 0;
}
