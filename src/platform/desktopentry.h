#pragma once

#include <QByteArray>
#include <QString>
#include <QList>
#include <QStringList>

#include <utility>

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
    QString icon;            // icon name or file
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

// A value as a desktop entry file stores it: backslash, line breaks and
// tabs escaped, a leading blank written as \s.
QString escapeDesktopValue(const QString& value);

// One word of an Exec value (before escapeDesktopValue): quoted, with
// " ` $ and \ escaped inside, when it holds blanks or reserved characters;
// "%" doubled in any case.
QString quoteExecWord(const QString& word);

// Splits an Exec value (escapes resolved) into its first word, unquoted,
// and the rest of the text as written, leading blanks removed.
void splitExecProgram(const QString& exec, QString* program, QString* rest);

// Sets the unlocalised keys of the [Desktop Entry] group to the given
// values (stored through escapeDesktopValue); an empty value removes the
// key. Keys that are not there are added at the end of the group. Every
// other byte (comments, localised keys, other groups, line ends) stays as
// it was; a file without the group gets one at its start.
QByteArray setDesktopEntryKeys(const QByteArray& bytes, const QList<std::pair<QByteArray, QString>>& keys);
