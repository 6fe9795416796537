#pragma once

#include <QString>
#include <QStringList>

// The generated scripts of snapshot creation and restore. One generator
// writes two dialects: the Windows text, and the Linux text that pwsh runs,
// which differs only where Linux forces it: separator "/", case-sensitive
// path prefixes, hidden files listed, a copy function in place of robocopy,
// error records in the classic view, a backslash kept as a name character
// (entries climbing out under either separator refused), symbolic-link
// entries refused, drive-letter entry names refused in place of every ':'
// (and refused at creation), special files and names that are not valid
// UTF-8 left out of the copy and listed, .NET path calls in place of
// per-entry cmdlets, and unpacked files moved rather than copied into the
// data root, after a first pass that leaves out the backup folder ("Backups"
// and `keep`) and refuses the whole restore, before anything is written,
// when a target or one of its folders inside the data root is a symbolic
// link; and both stop as soon as their standard input reports the program
// gone.
enum class ScriptDialect { Windows, Linux };

// The dialect of the scripts this build runs.
constexpr ScriptDialect kRunningDialect = ScriptDialect::Linux;

struct CreateScriptValues {
    QString src;   // the data root
    QString dst;   // the partial zip
    QString final; // the snapshot's final path
    QString tmp;   // the temporary copy of the data root
    QString prog;  // the progress file
    QString skip;  // Linux only: canonical folder inside the data root left out, or empty
    QString left;  // Linux only: the list of entries the copy left out (see leftOutEntries)
};

struct RestoreScriptValues {
    QString zip;
    QString dst; // the data root
    QString tmp; // the unpacked archive
    QString prog;
    QString keep; // Linux only: canonical backup folder inside the data root, never written, or empty
};

QString createScriptText(const CreateScriptValues& values, ScriptDialect dialect);

// What the creation script wrote to `left`: the full paths of the special
// files (FIFOs, sockets, devices) and of the entries whose names cannot be
// carried, each as the script saw it.
struct LeftOutEntries {
    QStringList special;
    QStringList uncarried;
};
LeftOutEntries leftOutEntries(const QByteArray& listing);
QString restoreScriptText(const RestoreScriptValues& values, ScriptDialect dialect);
