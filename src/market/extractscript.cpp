#include "market/extractscript.h"

#include "backup/scriptrunner.h"

#include <QDir>

#include <algorithm>

namespace {

// The text as the Windows panel runs it under powershell.exe: Windows
// separators, and the values with every single quote doubled.
QString windowsCommand(const QString& zipPath, const QString& stagingDir)
{
    auto literal = [](const QString& path) {
        QString v = QDir::toNativeSeparators(path);
        v.replace(QLatin1Char('/'), QLatin1Char('\\'));
        v.replace(QLatin1Char('\''), QLatin1String("''"));
        return v;
    };
    return QStringLiteral("$ErrorActionPreference='Stop';")
        + QStringLiteral("Add-Type -AssemblyName System.IO.Compression.FileSystem;")
        + QStringLiteral("$z=[System.IO.Compression.ZipFile]::OpenRead('") + literal(zipPath) + QStringLiteral("');")
        + QStringLiteral("$tmp='") + literal(stagingDir) + QStringLiteral("';")
        + QStringLiteral("try {")
        + QStringLiteral("  foreach ($e in @($z.Entries | Where-Object { $_.Name -ne '' })) {")
        + QStringLiteral("    $raw=$e.FullName -replace '/','\\';")
        + QStringLiteral("    if ([string]::IsNullOrEmpty($raw)) { continue }")
        + QStringLiteral("    if ($raw.StartsWith('\\') -or $raw.StartsWith('/') -or $raw.Contains(':')) { throw \"unsafe zip entry: $raw\" }")
        + QStringLiteral("    foreach ($seg in $raw.Split('\\')) { if ($seg -eq '..') { throw \"unsafe zip entry: $raw\" } }")
        + QStringLiteral("    $target=Join-Path $tmp $raw;")
        + QStringLiteral("    $full=[System.IO.Path]::GetFullPath($target);")
        + QStringLiteral("    $rootFull=[System.IO.Path]::GetFullPath($tmp);")
        + QStringLiteral("    if (-not $rootFull.EndsWith('\\')) { $rootFull += '\\' }")
        + QStringLiteral("    if (-not $full.StartsWith($rootFull, [System.StringComparison]::OrdinalIgnoreCase)) { throw \"unsafe zip entry: $raw\" }")
        + QStringLiteral("    $dir=Split-Path -Parent $full;")
        + QStringLiteral("    if ($dir -and !(Test-Path -LiteralPath $dir)) { New-Item -ItemType Directory -Path $dir -Force | Out-Null }")
        + QStringLiteral("    [System.IO.Compression.ZipFileExtensions]::ExtractToFile($e, $full, $true)")
        + QStringLiteral("  }")
        + QStringLiteral("} finally { $z.Dispose() }");
}

// The Linux text. Backslashes in entry names count as separators, as they
// would on Windows, so a name cannot hide a ".." behind them. Entries that
// are not regular files by their Unix mode (links, devices, pipes) are
// refused, the whole archive is checked before the first byte is written,
// the containment test is ordinal (Linux names are case-sensitive) and no
// folder on the way to a file may be a link.
// Sizes: the total the entries declare is checked before anything is
// written; .NET never unpacks an entry past the size it declares, so the
// limit holds while writing too.
QString linuxCommand(const QString& zipPath, const QString& stagingDir, qint64 unpackLimit)
{
    return QStringLiteral("$ErrorActionPreference='Stop';")
        + QStringLiteral("Add-Type -AssemblyName System.IO.Compression.FileSystem;")
        + QStringLiteral("$z=[System.IO.Compression.ZipFile]::OpenRead(") + psQuote(zipPath) + QStringLiteral(");")
        + QStringLiteral("$tmp=") + psQuote(stagingDir) + QStringLiteral(";")
        + QStringLiteral("$cap=[long]") + QString::number(unpackLimit) + QStringLiteral(";")
        + QStringLiteral("try {")
        + QStringLiteral("  $entries=@($z.Entries | Where-Object { $_.Name -ne '' });")
        + QStringLiteral("  $declared=[long]0;")
        + QStringLiteral("  foreach ($e in $entries) { $declared+=$e.Length }")
        + QStringLiteral("  if ($declared -gt $cap) { [Console]::Error.WriteLine(\"package too large: $declared bytes declared, $cap allowed\"); exit ")
        + QString::number(kExtractTooLarge) + QStringLiteral(" }")
        + QStringLiteral("  foreach ($e in $entries) {")
        + QStringLiteral("    $raw=$e.FullName -replace '\\\\','/';")
        + QStringLiteral("    if ([string]::IsNullOrEmpty($raw)) { continue }")
        + QStringLiteral("    if ($raw.StartsWith('/') -or $raw.Contains(':')) { throw \"unsafe zip entry: $raw\" }")
        + QStringLiteral("    foreach ($seg in $raw.Split('/')) { if ($seg -eq '..') { throw \"unsafe zip entry: $raw\" } }")
        + QStringLiteral("    $kind=($e.ExternalAttributes -shr 16) -band 0xF000;")
        + QStringLiteral("    if ($kind -ne 0 -and $kind -ne 0x8000) { throw \"unsafe zip entry type: $raw\" }")
        + QStringLiteral("  }")
        + QStringLiteral("  $rootFull=[System.IO.Path]::GetFullPath($tmp);")
        + QStringLiteral("  if (-not $rootFull.EndsWith('/')) { $rootFull += '/' }")
        + QStringLiteral("  foreach ($e in $entries) {")
        + QStringLiteral("    $raw=$e.FullName -replace '\\\\','/';")
        + QStringLiteral("    if ([string]::IsNullOrEmpty($raw)) { continue }")
        + QStringLiteral("    $full=[System.IO.Path]::GetFullPath([System.IO.Path]::Combine($rootFull, $raw));")
        + QStringLiteral("    if (-not $full.StartsWith($rootFull, [System.StringComparison]::Ordinal)) { throw \"unsafe zip entry: $raw\" }")
        + QStringLiteral("    $walk=$rootFull.TrimEnd('/');")
        + QStringLiteral("    foreach ($seg in $full.Substring($rootFull.Length).Split('/')) {")
        + QStringLiteral("      $walk=$walk+'/'+$seg;")
        + QStringLiteral("      if ([System.IO.FileInfo]::new($walk).LinkTarget) { throw \"unsafe zip entry under a link: $raw\" }")
        + QStringLiteral("    }")
        + QStringLiteral("    $dir=[System.IO.Path]::GetDirectoryName($full);")
        + QStringLiteral("    if ($dir) { [System.IO.Directory]::CreateDirectory($dir) | Out-Null }")
        + QStringLiteral("    [System.IO.Compression.ZipFileExtensions]::ExtractToFile($e, $full, $true)")
        + QStringLiteral("  }")
        + QStringLiteral("} finally { $z.Dispose() }");
}

} // namespace

QString packageExtractCommand(const QString& zipPath, const QString& stagingDir, ExtractDialect dialect,
                              qint64 unpackLimit)
{
    return dialect == ExtractDialect::Windows ? windowsCommand(zipPath, stagingDir)
                                              : linuxCommand(zipPath, stagingDir, unpackLimit);
}

qint64 packageUnpackLimit(qint64 archiveBytes, qint64 freeBytes)
{
    constexpr qint64 MiB = 1024 * 1024;
    constexpr qint64 kRatio = 100;
    constexpr qint64 kFloor = 64 * MiB;
    constexpr qint64 kCeiling = 4096 * MiB;
    constexpr qint64 kKeepFree = 256 * MiB;
    qint64 limit = std::max(kFloor, std::max<qint64>(archiveBytes, 0) * kRatio);
    limit = std::min(limit, kCeiling);
    if (freeBytes >= 0)
        limit = std::min(limit, std::max<qint64>(freeBytes - kKeepFree, 0));
    return limit;
}

QStringList packageExtractArguments(const QString& command)
{
    return {QStringLiteral("-NoProfile"), QStringLiteral("-ExecutionPolicy"), QStringLiteral("Bypass"),
            QStringLiteral("-Command"), command};
}
