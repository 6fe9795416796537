#pragma once

#include <QString>
#include <QStringList>

// The PowerShell command that unpacks a market package into its staging
// folder. It is passed inline after "-Command" and never written to a file.
// Two dialects: the Windows text, and the Linux text that pwsh runs here.

enum class ExtractDialect { Windows, Linux };

// `zipPath` and `stagingDir` are quoted into the command; the command
// refuses every unsafe entry before it writes anything and exits non-zero
// on any failure.
QString packageExtractCommand(const QString& zipPath, const QString& stagingDir, ExtractDialect dialect);

// The arguments of the PowerShell process for `command`.
QStringList packageExtractArguments(const QString& command);
