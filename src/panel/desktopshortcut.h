#pragma once

#include <QString>

// The first free name on `folder` for a shortcut called `baseName` with
// `suffix` (".desktop"): "B.desktop", then "B (2).desktop", "B (3)…".
QString freeShortcutPath(const QString& folder, const QString& baseName, const QString& suffix);

// The desktop entry that opens `target`: a program (an executable file)
// started from its own folder, anything else opened as a link.
QByteArray desktopEntryFor(const QString& target, const QString& name, bool executable);

// Puts a shortcut to `itemPath` into `desktopFolder`: a shortcut file
// (".lnk", ".desktop") is copied, anything else gets a new desktop entry,
// executable like the ones file managers create. False with a translated
// `error`; `written` receives the new file's path.
bool createDesktopShortcut(const QString& desktopFolder, const QString& itemPath, QString* written,
                           QString* error);
