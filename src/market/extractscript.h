#pragma once

#include <QString>
#include <QStringList>

// The PowerShell command that unpacks a market package into its staging
// folder. It is passed inline after "-Command" and never written to a file.
// Two dialects: the Windows text, and the Linux text that pwsh runs here.

enum class ExtractDialect { Windows, Linux };

// `zipPath` and `stagingDir` are quoted into the command; the command
// refuses every unsafe entry before it writes anything and exits non-zero
// on any failure. The Linux text also refuses, before writing, a package
// whose entries declare more than `unpackLimit` bytes in all, and then
// exits with kExtractTooLarge; an entry holding more than it declares is
// cut at its declared size.
QString packageExtractCommand(const QString& zipPath, const QString& stagingDir, ExtractDialect dialect,
                              qint64 unpackLimit);

inline constexpr int kExtractTooLarge = 3;

// What a package of `archiveBytes` may unpack to with `freeBytes` free on
// the staging folder's disk (-1: unknown): no more than a sane ratio to the
// archive (100 times, at least 64 MiB), never past 4 GiB, and leaving
// 256 MiB of the disk free.
qint64 packageUnpackLimit(qint64 archiveBytes, qint64 freeBytes);

// The arguments of the PowerShell process for `command`.
QStringList packageExtractArguments(const QString& command);
