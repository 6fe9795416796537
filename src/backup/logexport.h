#pragma once

#include <QString>

#include <functional>

class QObject;

// Packs the log folder into one zip for support: written by the system's
// archiver (libarchive's bsdtar; GNU tar cannot write zip) to a temporary
// name beside the target and moved into place only when complete. When the
// archiver is missing or fails, the log folder is copied as a plain folder
// beside the chosen name instead.

// Reports the outcome once: a text for the user and its kind (0 success,
// 1 failure).
using LogExportReport = std::function<void(const QString& text, int kind)>;

constexpr int kLogExportWatchdogMs = 120000;

// Starts the export of `logDir` to `zipPath` and returns at once. The
// archiver process is a child of `context`; `report` runs on its thread
// only while `context` lives. `archiver` is looked up on the search path.
void startLogExport(const QString& logDir, const QString& zipPath, QObject* context, LogExportReport report,
                    const QString& archiver = QStringLiteral("bsdtar"), int watchdogMs = kLogExportWatchdogMs);

// The fallback folder for `zipPath`: the path without a trailing ".zip" (any
// case), or the path itself without one. A name that is already taken is
// never reused, since that folder is not ours: " (2)", " (3)"... is appended.
QString logExportFallbackDir(const QString& zipPath);

// Copies the files and sub-folders of `src` into `dst` (created with its
// parents), skipping hidden files, links and `dst` itself when it lies
// inside `src`. Errors are logged and never stop the walk; true when every
// file was copied.
bool copyDirRecursive(const QString& src, const QString& dst);
