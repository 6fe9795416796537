#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The keys of a desktop entry's main group that finding and starting it need. Values
// have their string escapes (\s \n \t \r \\) resolved; localised variants
// ("Name[de]") are not read.
struct DesktopEntry {
    bool valid = false;      // a [Desktop Entry] group was found
    QString type;            // "Application", "Link", "Directory", ...
    QString name;
    QString exec;
    QString path;            // working directory of the program
    QString url;             // target of a Link entry
    QString tryExec;         // program whose absence makes the entry unusable
    bool terminal = false;
    bool hidden = false;     // "Hidden=true": the entry counts as deleted
};

// Reads the main group of a desktop entry file's bytes. Never fails: what
// is missing stays empty and `valid` tells whether the group was there.
DesktopEntry parseDesktopEntry(const QByteArray& bytes);

// Reads the file at `path` (its first MiB; real entries are a few kilobytes)
// and parses it. False with `error` (may be null) set when the file cannot be
// opened; `entry` is then left invalid.
bool readDesktopEntryFile(const QString& path, DesktopEntry* entry, QString* error = nullptr);

// Splits an Exec value (escapes already resolved) into the program and its
// arguments: words separated by blanks, double-quoted words with \" \` \$
// and \\ inside, field codes (%f %F %u %U %i %c %k and the deprecated %d %D
// %n %N %v %m) dropped, a word made only of field codes dropped whole, and
// "%%" kept as "%". False with `error` set for an empty command, an
// unterminated quote or an unknown field code; `argv` is then left empty.
bool splitDesktopExec(const QString& exec, QStringList* argv, QString* error);
