#include "panel/desktopshortcut.h"

#include "app/configsafety.h"
#include "app/lang.h"
#include "platform/desktopentry.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

QString freeShortcutPath(const QString& folder, const QString& baseName, const QString& suffix)
{
    QString candidate = folder + QLatin1Char('/') + baseName + suffix;
    for (int n = 2; QFileInfo::exists(candidate) || QFileInfo(candidate).isSymLink(); ++n)
        candidate = folder + QLatin1Char('/') + baseName + QStringLiteral(" (%1)").arg(n) + suffix;
    return candidate;
}

QByteArray desktopEntryFor(const QString& target, const QString& name, bool executable)
{
    QList<std::pair<QByteArray, QString>> keys;
    keys.append({"Version", QStringLiteral("1.0")});
    keys.append({"Name", name});
    if (executable) {
        keys.append({"Type", QStringLiteral("Application")});
        keys.append({"Exec", quoteExecWord(target)});
        keys.append({"Path", QFileInfo(target).absolutePath()});
    } else {
        keys.append({"Type", QStringLiteral("Link")});
        keys.append({"URL", QUrl::fromLocalFile(target).toString(QUrl::FullyEncoded)});
    }
    return setDesktopEntryKeys(QByteArray(), keys);
}

bool createDesktopShortcut(const QString& desktopFolder, const QString& itemPath, QString* written,
                           QString* error)
{
    const QFileInfo info(itemPath);
    QString base = info.completeBaseName();
    if (base.isEmpty())
        base = info.fileName();
    const bool isLink = itemPath.endsWith(QLatin1String(".lnk"), Qt::CaseInsensitive);
    const bool isEntry = itemPath.endsWith(QLatin1String(".desktop"), Qt::CaseInsensitive);
    QDir().mkpath(desktopFolder);
    const QString destination =
        freeShortcutPath(desktopFolder, base, isLink ? QStringLiteral(".lnk") : QStringLiteral(".desktop"));
    if (written)
        *written = destination;

    if (isLink || isEntry) {
        if (!QFile::copy(itemPath, destination)) {
            if (error)
                *error = translate(u"复制快捷方式失败（桌面可能已有同名文件）");
            return false;
        }
    } else {
        const bool executable = info.isFile() && info.isExecutable();
        QString why;
        if (!saveFileAtomically(destination, desktopEntryFor(info.absoluteFilePath(), base, executable), &why)) {
            qWarning() << "desktop shortcut: cannot write" << destination << why;
            if (error)
                *error = translate(u"快捷方式写入失败（目标可能被占用）");
            return false;
        }
    }
    if (!destination.endsWith(QLatin1String(".lnk")))
        QFile::setPermissions(destination, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                               | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    return true;
}
