#pragma once

#include <QString>

// What the shortcut editor shows and changes of a shortcut file: a shell
// link (".lnk") or a desktop entry (".desktop").
struct ShortcutInfo {
    QString target;
    QString workingDir;
    QString arguments;
    QString iconPath;
    int iconIndex = 0;
    bool runAsAdmin = false;

    bool operator==(const ShortcutInfo& o) const
    {
        return target == o.target && workingDir == o.workingDir && arguments == o.arguments
            && iconPath == o.iconPath && iconIndex == o.iconIndex && runAsAdmin == o.runAsAdmin;
    }
    bool operator!=(const ShortcutInfo& o) const { return !(*this == o); }
};

// True for the names the editor treats as shortcut files.
bool isShortcutFilePath(const QString& path);

// Reads a shortcut file. `out` is cleared first. False with a translated
// `error` when the file is missing, unreadable or not a shortcut.
bool readShortcut(const QString& path, ShortcutInfo* out = nullptr, QString* error = nullptr);

// Writes `info` into the shortcut file at `path`: an existing file is read,
// only the fields that differ from it are replaced and everything else is
// kept byte for byte; a missing file is created. The file is replaced
// atomically. False with a translated `error` when the existing file cannot
// be read as a shortcut (it is then left alone) or the write fails. A
// desktop entry cannot carry the administrator flag; it is ignored there.
bool writeShortcut(const QString& path, const ShortcutInfo& info, QString* error = nullptr);
