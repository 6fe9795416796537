#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

// Process-wide logging: every qDebug/qInfo/qWarning/qCritical/qFatal becomes
// one UTF-8 line in "<data root>/logs/<yyyy-MM-dd>/app.log", rotated to
// "app.1.log" past 5 MiB; day folders older than seven days are pruned at
// start-up and every six hours. Problems of the log itself go to stderr.

// Sets up the log root under `dataRoot`, prunes, applies the verbosity
// ("KRV_VERBOSE" "1" or "2" turns debug output on), installs the handler and
// starts the prune timer. Called once, by the entry function.
void initLogging(const QString& dataRoot);

void logMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& text);

// Removes day folders dated more than seven days before today; other
// folders are left alone.
void pruneOldLogs();

// "<data root>/logs"; empty until initLogging() has run.
QString logRoot();

// One log line, line feed included: "yyyy-MM-dd hh:mm:ss.zzz [LEVEL] [category] text\n";
// the category part is left out when `category` is empty.
QByteArray formatLogLine(QtMsgType type, const char* category, const QString& text, const QDateTime& when);

// Size past which "app.log" is rotated before the next write.
constexpr qint64 kLogRotateBytes = 5 * 1024 * 1024;
