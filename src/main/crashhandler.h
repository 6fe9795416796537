#pragma once

#include <QString>

// Installs the process's crash handler (dumps and "crash.log" in the data
// root). Called once by the entry function, after the screenshot modes have
// branched off and before the single-instance check.
void initCrashHandler();

// Folder used when the data root's path is too long for the dump names.
inline constexpr char kCrashFallbackFolder[] = "/var/tmp/TarnavelPanel";

// Where dumps go for `dataRoot`: the data root itself while it has at most
// 218 characters, which leaves room for the dump name; `fallback` for a
// longer one; empty (no dumps) for an empty data root.
QString crashFolderFor(const QString& dataRoot, const QString& fallback);
