#pragma once

#include <QByteArray>
#include <QString>

// What the log viewer shows, apart from the dialog: found and read off the
// GUI thread, so every function here is free of widgets.

// Most of a log file that is shown; a larger file shows its newest part.
constexpr qint64 kLogTailBytes = 8 * 1024 * 1024;

// The newest day's "app.log" under `logRoot`: today's folder, else the
// newest day folder that has one, else today's path. Empty for an empty
// root.
QString findLogFile(const QString& logRoot);

// The text of a log file: the last kLogTailBytes from a whole line on when
// larger (with a note in front); UTF-8 after a byte-order mark, else line by
// line UTF-8 with lines that do not decode taken in the local 8-bit code.
// Empty when unreadable.
QString readLogTail(const QString& path);

// "app.1.log" before "app.log" of the file's folder, or the no-files note.
QString readLogContent(const QString& logFile);

// The system line of the information card.
QString systemVersionText();

// The diagnostic header above the log text.
struct LogHeaderFacts {
    QString logFile, commandLine, executable, workingDir, dataDir, logRoot, version, system, qtVersion, screenName;
    qreal devicePixelRatio = 1;
};
QString logHeaderText(const LogHeaderFacts& facts);
