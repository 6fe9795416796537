#pragma once

#include <QString>

// Starting the panel with the desktop session: an XDG autostart entry
// "TarnavelPanel.desktop" in $XDG_CONFIG_HOME/autostart that runs
// `executable` (the running program when empty). 0 on success, otherwise a
// non-zero code with nothing changed; `error` then says why.
int setAutoStart(bool on, const QString& executable = QString(), QString* error = nullptr);

// Where the entry lives.
QString autoStartEntryPath();

// The Exec value that runs `program` without arguments, quoted and escaped
// as desktop entries require.
QString desktopExecQuoted(const QString& program);
