#include "updater/updatehandoff.h"

#include "app/paths.h"

#include <QFile>

QByteArray shellQuoted(const QByteArray& value)
{
    QByteArray out = "'";
    for (char c : value) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    out += '\'';
    return out;
}

QByteArray updateHandOffScript(qint64 pid, const QString& exe, const QString& installer)
{
    // Paths go in as the file system spells them, not through a text codec.
    QByteArray s;
    s += "#!/bin/sh\n";
    s += "# Hands Quillory over to its installer.\n";
    // The panel may have been started from a terminal that closes meanwhile.
    s += "trap '' HUP\n";
    s += "pid=" + shellQuoted(QByteArray::number(pid)) + "\n";
    s += "exe=" + shellQuoted(QFile::encodeName(exe)) + "\n";
    s += "installer=" + shellQuoted(QFile::encodeName(installer)) + "\n";
    s += "\n";
    // The same file, not the same name: -ef compares device and inode, and
    // needs no process per entry, which keeps the walk over /proc quick.
    s += "own_copy() {\n"
         "    [ \"/proc/$1/exe\" -ef \"$exe\" ]\n"
         "}\n"
         "\n"
         "others() {\n"
         "    for dir in /proc/[0-9]*; do\n"
         "        p=${dir#/proc/}\n"
         "        [ \"$p\" = \"$$\" ] && continue\n"
         "        [ -O \"$dir\" ] || continue\n"
         "        own_copy \"$p\" && echo \"$p\"\n"
         "    done\n"
         "}\n"
         "\n"
         "n=0\n"
         "while [ \"$n\" -lt 50 ] && own_copy \"$pid\"; do\n"
         "    sleep 0.2\n"
         "    n=$((n + 1))\n"
         "done\n"
         "\n"
         "left=$(others)\n"
         "if [ -n \"$left\" ]; then\n"
         "    kill $left 2>/dev/null\n"
         "    n=0\n"
         "    while [ \"$n\" -lt 15 ] && [ -n \"$(others)\" ]; do\n"
         "        sleep 0.2\n"
         "        n=$((n + 1))\n"
         "    done\n"
         "    left=$(others)\n"
         "    [ -n \"$left\" ] && kill -9 $left 2>/dev/null\n"
         "fi\n"
         "\n"
         "\"$installer\" /SILENT /SUPPRESSMSGBOXES /NORESTART /CLOSEAPPLICATIONS /FORCECLOSEAPPLICATIONS\n"
         "status=$?\n"
         // The installer and this script share their run's folder; rmdir
         // leaves it when the installer put anything else there.
         "rm -f -- \"$installer\" \"$0\"\n"
         "rmdir -- \"${installer%/*}\" 2>/dev/null\n"
         "exit \"$status\"\n";
    return s;
}

QString updateRunBase()
{
    return cachedAppDataDir() + QStringLiteral("/cache");
}
