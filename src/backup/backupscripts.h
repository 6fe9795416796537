#pragma once

#include <QString>

// The generated scripts of snapshot creation and restore. One generator
// writes two dialects: the Windows text, and the Linux text that pwsh runs,
// which differs only where Linux forces it: separator "/", case-sensitive
// path prefixes, hidden files listed, a copy function in place of robocopy,
// error records in the classic view, a backslash kept as a name character
// (entries climbing out under either separator refused), symbolic-link
// entries refused, drive-letter entry names refused in place of every ':'
// (and refused at creation), .NET path calls in place of per-entry cmdlets,
// and unpacked files moved rather than copied into the data root, after a
// first pass that leaves out the backup folder ("Backups" and `keep`) and
// refuses the whole restore, before anything is written, when a target or
// one of its folders inside the data root is a symbolic link; and both stop
// as soon as their standard input reports the program gone.
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
};

struct RestoreScriptValues {
    QString zip;
    QString dst; // the data root
    QString tmp; // the unpacked archive
    QString prog;
    QString keep; // Linux only: canonical backup folder inside the data root, never written, or empty
};

QString createScriptText(const CreateScriptValues& values, ScriptDialect dialect);
QString restoreScriptText(const RestoreScriptValues& values, ScriptDialect dialect);
