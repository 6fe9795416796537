#pragma once

#include <QByteArray>
#include <QString>

// The script that hands the panel over to its installer once the panel has
// ended: a POSIX sh script, run detached, that
//  1. waits (about 10 s at most) for the process `pid` while it still runs
//     `exe`,
//  2. ends every other process of this user whose executable is the file
//     `exe` (found through /proc/<pid>/exe, so nothing is ever matched by
//     name; asked to quit first, killed when it has not after about 3 s),
//  3. runs the installer with the silent-install switches,
//  4. removes the installer and itself, and their folder when nothing else
//     is left in it.
// The script is meant to lie in the installer's folder. Every value is
// single-quoted.
QByteArray updateHandOffScript(qint64 pid, const QString& exe, const QString& installer);

// `value` as one single-quoted sh word ("'" written as '\'').
QByteArray shellQuoted(const QByteArray& value);

// Where each update run makes its private folder for the installer and the
// script: "cache" in the data root, which snapshots leave out.
QString updateRunBase();
