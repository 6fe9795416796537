#include "widgets/shortcutfile.h"

#include "app/configsafety.h"
#include "app/lang.h"
#include "platform/desktopentry.h"
#include "platform/shelllink.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// Shortcut files are small; anything larger is not one.
constexpr qint64 kMaxShortcutBytes = 4 << 20;

bool isDesktopEntryPath(const QString& path)
{
    return path.endsWith(QLatin1String(".desktop"), Qt::CaseInsensitive);
}

bool setError(QString* error, const char16_t* text)
{
    if (error)
        *error = translate(text);
    return false;
}

bool readBytes(const QString& path, QByteArray* bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxShortcutBytes)
        return false;
    *bytes = f.readAll();
    return f.error() == QFile::NoError;
}

ShortcutInfo fromLink(const ShellLinkData& link)
{
    ShortcutInfo info;
    info.target = link.target();
    info.workingDir = link.workingDir;
    info.arguments = link.arguments;
    info.iconPath = link.iconLocation;
    info.iconIndex = link.iconIndex;
    info.runAsAdmin = link.runAsUser;
    return info;
}

ShortcutInfo fromEntry(const DesktopEntry& e)
{
    ShortcutInfo info;
    if (e.type == QLatin1String("Link")) {
        info.target = e.url;
    } else {
        splitExecProgram(e.exec, &info.target, &info.arguments);
    }
    info.workingDir = e.path;
    info.iconPath = e.icon;
    return info;
}

QString baseNameOf(const QString& target)
{
    return QFileInfo(QDir::fromNativeSeparators(target)).completeBaseName();
}

} // namespace

bool isShortcutFilePath(const QString& path)
{
    return path.endsWith(QLatin1String(".lnk"), Qt::CaseInsensitive) || isDesktopEntryPath(path);
}

bool readShortcut(const QString& path, ShortcutInfo* out, QString* error)
{
    if (out)
        *out = ShortcutInfo();
    if (!QFileInfo(path).isFile())
        return setError(error, u"快捷方式文件不存在");
    QByteArray bytes;
    if (!readBytes(path, &bytes))
        return setError(error, u"无法读取快捷方式（可能被占用）");
    if (isDesktopEntryPath(path)) {
        const DesktopEntry e = parseDesktopEntry(bytes);
        if (!e.valid)
            return setError(error, u"无法读取快捷方式（可能被占用）");
        if (out)
            *out = fromEntry(e);
        return true;
    }
    ShellLinkData link;
    QString why;
    if (!parseShellLink(bytes, &link, &why)) {
        qWarning() << "shortcut: cannot read" << path << why;
        return setError(error, u"无法读取快捷方式（可能被占用）");
    }
    if (out)
        *out = fromLink(link);
    return true;
}

bool writeShortcut(const QString& path, const ShortcutInfo& info, QString* error)
{
    QByteArray original;
    const bool exists = QFileInfo::exists(path);
    if (exists && !readBytes(path, &original))
        return setError(error, u"无法读取快捷方式（可能被占用）");

    QByteArray bytes;
    if (isDesktopEntryPath(path)) {
        const DesktopEntry e = parseDesktopEntry(original);
        if (exists && !e.valid)
            return setError(error, u"无法读取快捷方式（可能被占用）");
        const ShortcutInfo old = exists ? fromEntry(e) : ShortcutInfo();
        const bool link = e.type == QLatin1String("Link");
        QList<std::pair<QByteArray, QString>> keys;
        if (!exists) {
            keys.append({"Type", QStringLiteral("Application")});
            keys.append({"Name", baseNameOf(info.target)});
        }
        if (!exists || info.target != old.target || info.arguments != old.arguments) {
            if (link) {
                keys.append({"URL", info.target});
            } else {
                QString exec = quoteExecWord(info.target);
                if (!info.arguments.isEmpty())
                    exec += QLatin1Char(' ') + info.arguments;
                keys.append({"Exec", exec});
            }
        }
        if (info.workingDir != old.workingDir)
            keys.append({"Path", info.workingDir});
        if (info.iconPath != old.iconPath)
            keys.append({"Icon", info.iconPath});
        bytes = keys.isEmpty() ? original : setDesktopEntryKeys(original, keys);
    } else {
        ShellLinkData link;
        ShortcutInfo old;
        if (exists) {
            if (!parseShellLink(original, &link))
                return setError(error, u"无法读取快捷方式（可能被占用）");
            old = fromLink(link);
        }
        ShellLinkEdit edit;
        if (!exists || info.target != old.target) {
            edit.target = info.target;
            edit.name = baseNameOf(info.target);
        }
        if (info.workingDir != old.workingDir)
            edit.workingDir = info.workingDir;
        if (info.arguments != old.arguments)
            edit.arguments = info.arguments;
        if (info.iconPath != old.iconPath || info.iconIndex != old.iconIndex) {
            edit.iconLocation = info.iconPath;
            edit.iconIndex = info.iconPath.isEmpty() ? 0 : info.iconIndex;
        }
        if (info.runAsAdmin != old.runAsAdmin)
            edit.runAsUser = info.runAsAdmin;
        QString why;
        if (!editShellLink(original, edit, &bytes, &why)) {
            qWarning() << "shortcut: cannot write" << path << why;
            return setError(error, u"快捷方式写入失败（目标可能被占用）");
        }
    }
    if (exists && bytes == original)
        return true;
    QString why;
    if (!saveFileAtomically(path, bytes, &why)) {
        qWarning() << "shortcut: cannot write" << path << why;
        return setError(error, u"快捷方式写入失败（目标可能被占用）");
    }
    // A desktop entry is only trusted by file managers when executable.
    if (isDesktopEntryPath(path) && !exists)
        QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
    return QFileInfo::exists(path);
}
