#include "backup/backupscripts.h"

#include "backup/scriptrunner.h"

#include <QStringList>

namespace {

class ScriptLines {
public:
    void add(int indent, const QString& text) { m_text += QString(indent, QLatin1Char(' ')) + text + QLatin1Char('\n'); }
    void add(int indent, const char* text) { add(indent, QString::fromUtf8(text)); }
    QString text() const { return m_text; }
private:
    QString m_text;
};

// What differs between the dialects, in one place.
struct Dialect {
    bool linux_;
    QString sep() const { return linux_ ? QStringLiteral("/") : QStringLiteral("\\"); }
    QString comparison() const { return linux_ ? QStringLiteral("Ordinal") : QStringLiteral("OrdinalIgnoreCase"); }
    QString allFiles() const { return linux_ ? QStringLiteral(" -Recurse -File -Force)") : QStringLiteral(" -Recurse -File)"); }
    // Per-entry cmdlets cost about a millisecond each under pwsh, which for
    // thousands of files outweighs the copying itself; the .NET calls do
    // the same in microseconds.
    QString joinPath(const QString& root, const QString& child) const
    {
        return linux_ ? QStringLiteral("[System.IO.Path]::Combine(%1, %2)").arg(root, child)
                      : QStringLiteral("Join-Path %1 %2").arg(root, child);
    }
    QString parentOf(const QString& path) const
    {
        return linux_ ? QStringLiteral("[System.IO.Path]::GetDirectoryName(%1)").arg(path)
                      : QStringLiteral("Split-Path -Parent %1").arg(path);
    }
    QString ensureFolder(const QString& dir) const
    {
        return linux_ ? QStringLiteral("if (%1 -and ![System.IO.Directory]::Exists(%1)) { [void][System.IO.Directory]::CreateDirectory(%1) }").arg(dir)
                      : QStringLiteral("if (%1 -and !(Test-Path -LiteralPath %1)) { New-Item -ItemType Directory -Path %1 -Force | Out-Null }").arg(dir);
    }
    QString endsWithSep(const QString& var) const
    {
        return QStringLiteral("if (-not $%1.EndsWith('%2')) { $%1 += '%2' }").arg(var, sep());
    }
    QString prefixCheck(const QString& path, const QString& root, const QString& message) const
    {
        return QStringLiteral("if (-not %1.StartsWith(%2, [System.StringComparison]::%3)) { throw \"%4\" }")
            .arg(path, root, comparison(), message);
    }
};

// robocopy's Linux stand-in: the same exclusions (folder names compared
// ignoring case at any depth, "*.log" files), links skipped, hidden entries
// copied, and the backup folder placed inside the data root left out.
// A FIFO would block the copy and a socket or device fail it, and a name
// that is not valid UTF-8 reaches .NET altered, naming nothing: these are
// left out and listed in $left ("S" special, "N" name, NUL-ended) so that
// one odd entry does not fail the snapshot of everything else.
void addCopyFunction(ScriptLines& s)
{
    s.add(0, "function Copy-DataTree([string]$from, [string]$to) {");
    s.add(2, "[void][System.IO.Directory]::CreateDirectory($to)");
    s.add(2, "foreach ($e in @(Get-ChildItem -LiteralPath $from -Force)) {");
    s.add(4, "if (-not $e.Exists -and $e.Name.Contains([char]0xFFFD)) { [System.IO.File]::AppendAllText($left, \"N$($e.FullName)`0\"); continue }");
    s.add(4, "if ($null -ne $e.LinkTarget) { continue }");
    s.add(4, "$target = [System.IO.Path]::Combine($to, $e.Name)");
    s.add(4, "if ($e.PSIsContainer) {");
    s.add(6, "if (@('logs', 'cache', 'Backups', '.__restore_bak') -contains $e.Name) { continue }");
    s.add(6, "if ($skip -and ($e.FullName -ceq $skip)) { continue }");
    s.add(6, "Copy-DataTree $e.FullName $target");
    s.add(4, "} elseif (-not ($e.Name -like '*.log')) {");
    s.add(6, "if ($e.UnixStat -and (($e.UnixStat.Mode -band 0xF000) -ne 0x8000)) { [System.IO.File]::AppendAllText($left, \"S$($e.FullName)`0\"); continue }");
    s.add(6, "[System.IO.File]::Copy($e.FullName, $target, $true)");
    s.add(4, "}");
    s.add(2, "}");
    s.add(0, "}");
}

// The program keeps the script's standard input open and never writes to
// it, so a read that completes means the program is gone. The script then
// stops at once: a launcher between the program and the runtime may leave
// the runtime running when the program dies.
void addProgramWatch(ScriptLines& s)
{
    s.add(0, "$programGone = [Console]::OpenStandardInput().ReadAsync([byte[]]::new(1), 0, 1)");
}

const char kStopWhenProgramGone[] = "if ($programGone.IsCompleted) { [Environment]::Exit(70) }";

// The writing phase of the Linux restore. Every target is planned and
// checked first, so that a refusal leaves the data root untouched: the
// backup folder is never written (a zip holding "Backups/…" must not
// overwrite the user's other snapshots, which no safety copy covers), and
// nothing is written through a symbolic link inside the data root, whose
// target the safety copy and the roll-back would not cover either.
void addRestoreWritePhase(ScriptLines& s, const Dialect& d)
{
    s.add(2, "$rootDst = [System.IO.Path]::GetFullPath(\"$dst\")");
    s.add(2, d.endsWithSep(QStringLiteral("rootDst")));
    s.add(2, "$checked = [System.Collections.Generic.HashSet[string]]::new([System.StringComparer]::Ordinal)");
    s.add(2, "$plan = [System.Collections.Generic.List[object]]::new()");
    s.add(2, "$wt = 0");
    s.add(2, "foreach ($f in $files) {");
    s.add(4, d.prefixCheck(QStringLiteral("$f.FullName"), QStringLiteral("$rootTmp"), QStringLiteral("unsafe restore source")));
    s.add(4, "$rel = $f.FullName.Substring($rootTmp.Length)");
    s.add(4, "if ($rel.Split('/')[0] -ieq 'Backups') { continue }");
    s.add(4, QStringLiteral("$target = ") + d.joinPath(QStringLiteral("\"$dst\""), QStringLiteral("$rel")));
    s.add(4, "$fullDst = [System.IO.Path]::GetFullPath($target)");
    s.add(4, d.prefixCheck(QStringLiteral("$fullDst"), QStringLiteral("$rootDst"), QStringLiteral("unsafe restore target: $rel")));
    s.add(4, "if ($keep -and (($fullDst -ceq $keep) -or $fullDst.StartsWith($keep + '/', [System.StringComparison]::Ordinal))) { continue }");
    s.add(4, "$p = $fullDst");
    s.add(4, "while ($p.Length -ge $rootDst.Length -and $checked.Add($p)) {");
    s.add(6, "if ($null -ne ([System.IO.FileInfo]::new($p)).LinkTarget) { throw \"restore target is a symbolic link: $($p.Substring($rootDst.Length))\" }");
    s.add(6, "$p = [System.IO.Path]::GetDirectoryName($p)");
    s.add(4, "}");
    s.add(4, "$plan.Add(@($f, $fullDst))");
    s.add(4, "$wt += $f.Length");
    s.add(2, "}");
    s.add(2, "$wn = $plan.Count");
    s.add(2, "if ($wt -le 0) { $wt = 1 }");
    s.add(2, "$wi = 0");
    s.add(2, "$wd = 0");
    s.add(2, "foreach ($step in $plan) {");
    s.add(4, kStopWhenProgramGone);
    s.add(4, "$f = $step[0]");
    s.add(4, "$fullDst = $step[1]");
    s.add(4, QStringLiteral("$tdir = ") + d.parentOf(QStringLiteral("$fullDst")));
    s.add(4, d.ensureFolder(QStringLiteral("$tdir")));
    // The unpacked copy is thrown away afterwards, so its files are moved: a
    // rename on the same file system instead of a second write of every byte.
    s.add(4, "[System.IO.File]::Move($f.FullName, $fullDst, $true)");
    s.add(4, "$wi++");
    s.add(4, "$wd += $f.Length");
    s.add(4, "if (($wi % 8) -eq 0 -or ($wi -eq $wn) -or ($wn -le 32)) {");
    s.add(6, "[System.IO.File]::WriteAllText($prog, \"W $wd $wt\")");
    s.add(4, "}");
    s.add(2, "}");
}

} // namespace

QString createScriptText(const CreateScriptValues& v, ScriptDialect dialect)
{
    const Dialect d { dialect == ScriptDialect::Linux };
    ScriptLines s;
    s.add(0, "$ErrorActionPreference='Stop'");
    if (d.linux_)
        s.add(0, "$ErrorView='NormalView'");
    s.add(0, QStringLiteral("$src=") + psQuote(v.src));
    s.add(0, QStringLiteral("$dst=") + psQuote(v.dst));
    s.add(0, QStringLiteral("$final=") + psQuote(v.final));
    s.add(0, QStringLiteral("$tmp=") + psQuote(v.tmp));
    s.add(0, QStringLiteral("$prog=") + psQuote(v.prog));
    if (d.linux_) {
        s.add(0, QStringLiteral("$skip=") + psQuote(v.skip));
        s.add(0, QStringLiteral("$left=") + psQuote(v.left));
        addProgramWatch(s);
    }
    s.add(0, "$done=$false");
    if (d.linux_)
        addCopyFunction(s);
    s.add(0, "try {");
    if (d.linux_) {
        s.add(2, "Copy-DataTree \"$src\" \"$tmp\"");
    } else {
        s.add(2, "robocopy \"$src\" \"$tmp\" /E /XD logs cache Backups \".__restore_bak\" /XF *.log /NFL /NDL /NJH /NJS /NC /NS /NP | Out-Null");
        s.add(2, "if ($LASTEXITCODE -ge 8) { throw \"robocopy failed: $LASTEXITCODE\" }");
    }
    s.add(2, "Add-Type -AssemblyName System.IO.Compression.FileSystem");
    s.add(2, "$rootTmp = [System.IO.Path]::GetFullPath(\"$tmp\")");
    s.add(2, d.endsWithSep(QStringLiteral("rootTmp")));
    s.add(2, QStringLiteral("$files = @(Get-ChildItem -LiteralPath \"$tmp\"") + d.allFiles());
    s.add(2, "$n = $files.Count");
    s.add(2, "$tb = 0");
    s.add(2, "foreach ($f in $files) { $tb += $f.Length }");
    s.add(2, "$useBytes = $false");
    s.add(2, "$tw = $n");
    s.add(2, "if ($tb -gt 0) { $tw = $tb; $useBytes = $true }");
    s.add(2, "if ($tw -le 0) { $tw = 1 }");
    s.add(2, "if (Test-Path -LiteralPath \"$dst\") { Remove-Item -LiteralPath \"$dst\" -Force }");
    s.add(2, "$z = [System.IO.Compression.ZipFile]::Open(\"$dst\", 'Create')");
    s.add(2, "try {");
    s.add(4, "$i = 0");
    s.add(4, "$dw = 0");
    s.add(4, "foreach ($f in $files) {");
    if (d.linux_)
        s.add(6, kStopWhenProgramGone);
    s.add(6, d.prefixCheck(QStringLiteral("$f.FullName"), QStringLiteral("$rootTmp"), QStringLiteral("unsafe snapshot source")));
    s.add(6, "$rel = $f.FullName.Substring($rootTmp.Length)");
    if (d.linux_) {
        // The restore refuses entry names in drive-letter form; say so now
        // rather than write a snapshot that cannot be restored.
        s.add(6, "if ($rel -match '^[A-Za-z]:') { throw \"file name cannot be restored from a snapshot: $rel\" }");
    } else {
        s.add(6, "$rel = $rel -replace '\\\\','/'");
    }
    s.add(6, d.linux_ ? QStringLiteral("[void][System.IO.Compression.ZipFileExtensions]::CreateEntryFromFile($z, $f.FullName, $rel)")
                      : QStringLiteral("[System.IO.Compression.ZipFileExtensions]::CreateEntryFromFile($z, $f.FullName, $rel) | Out-Null"));
    s.add(6, "$i++");
    s.add(6, "if ($useBytes) { $dw += $f.Length } else { $dw += 1 }");
    s.add(6, "if (($i % 8) -eq 0 -or ($i -eq $n) -or ($n -le 32)) {");
    s.add(8, "[System.IO.File]::WriteAllText($prog, \"$dw $tw\")");
    s.add(6, "}");
    s.add(4, "}");
    s.add(2, "} finally { $z.Dispose() }");
    s.add(2, "if (Test-Path -LiteralPath \"$final\") { throw \"snapshot target already exists\" }");
    s.add(2, "Move-Item -LiteralPath \"$dst\" -Destination \"$final\"");
    s.add(2, "$done = $true");
    s.add(0, "} finally {");
    s.add(2, "try { if (Test-Path -LiteralPath \"$tmp\") { Remove-Item -LiteralPath \"$tmp\" -Recurse -Force } } catch { }");
    s.add(2, "if (-not $done) { if (Test-Path -LiteralPath \"$dst\") { Remove-Item -LiteralPath \"$dst\" -Force } }");
    s.add(0, "}");
    return s.text();
}

QString restoreScriptText(const RestoreScriptValues& v, ScriptDialect dialect)
{
    const Dialect d { dialect == ScriptDialect::Linux };
    ScriptLines s;
    s.add(0, "$ErrorActionPreference='Stop'");
    if (d.linux_)
        s.add(0, "$ErrorView='NormalView'");
    s.add(0, QStringLiteral("$zip=") + psQuote(v.zip));
    s.add(0, QStringLiteral("$dst=") + psQuote(v.dst));
    s.add(0, QStringLiteral("$tmp=") + psQuote(v.tmp));
    s.add(0, QStringLiteral("$prog=") + psQuote(v.prog));
    if (d.linux_) {
        s.add(0, QStringLiteral("$keep=") + psQuote(v.keep));
        addProgramWatch(s);
    }
    s.add(0, "try {");
    s.add(2, "Add-Type -AssemblyName System.IO.Compression.FileSystem");
    s.add(2, "$z = [System.IO.Compression.ZipFile]::OpenRead(\"$zip\")");
    s.add(2, "try {");
    s.add(4, "$entries = @($z.Entries | Where-Object { $_.Name -ne '' })");
    s.add(4, "$n = $entries.Count");
    s.add(4, "$tb = 0");
    s.add(4, "foreach ($e in $entries) { $tb += $e.Length }");
    s.add(4, "$useBytes = $false");
    s.add(4, "$tw = $n");
    s.add(4, "if ($tb -gt 0) { $tw = $tb; $useBytes = $true }");
    s.add(4, "if ($tw -le 0) { $tw = 1 }");
    s.add(4, "$i = 0");
    s.add(4, "$dw = 0");
    s.add(4, "foreach ($e in $entries) {");
    if (d.linux_) {
        s.add(6, kStopWhenProgramGone);
        // A backslash is an ordinary name character here, so it is kept, but
        // an entry that would climb out under either reading is refused.
        s.add(6, "$raw = $e.FullName");
        s.add(6, "if ([string]::IsNullOrEmpty($raw)) { continue }");
        s.add(6, "if ($raw.StartsWith('\\') -or $raw.StartsWith('/') -or ($raw -match '^[A-Za-z]:')) { throw \"unsafe zip entry: $raw\" }");
        s.add(6, "foreach ($seg in $raw.Split([char[]]@('/', '\\'))) { if ($seg -eq '..') { throw \"unsafe zip entry: $raw\" } }");
        s.add(6, "if ((($e.ExternalAttributes -shr 16) -band 0xF000) -eq 0xA000) { throw \"unsafe zip entry: $raw\" }");
    } else {
        s.add(6, "$raw = $e.FullName -replace '/','\\'");
        s.add(6, "if ([string]::IsNullOrEmpty($raw)) { continue }");
        s.add(6, "if ($raw.StartsWith('\\') -or $raw.StartsWith('/') -or $raw.Contains(':')) { throw \"unsafe zip entry: $raw\" }");
        s.add(6, "foreach ($seg in $raw.Split('\\')) { if ($seg -eq '..') { throw \"unsafe zip entry: $raw\" } }");
    }
    s.add(6, QStringLiteral("$target = ") + d.joinPath(QStringLiteral("\"$tmp\""), QStringLiteral("$raw")));
    s.add(6, "$full = [System.IO.Path]::GetFullPath($target)");
    s.add(6, "$rootFull = [System.IO.Path]::GetFullPath(\"$tmp\")");
    s.add(6, d.endsWithSep(QStringLiteral("rootFull")));
    s.add(6, d.prefixCheck(QStringLiteral("$full"), QStringLiteral("$rootFull"), QStringLiteral("unsafe zip entry: $raw")));
    s.add(6, QStringLiteral("$dir = ") + d.parentOf(QStringLiteral("$full")));
    s.add(6, d.ensureFolder(QStringLiteral("$dir")));
    s.add(6, "[System.IO.Compression.ZipFileExtensions]::ExtractToFile($e, $full, $true)");
    s.add(6, "$i++");
    s.add(6, "if ($useBytes) { $dw += $e.Length } else { $dw += 1 }");
    s.add(6, "if (($i % 8) -eq 0 -or ($i -eq $n) -or ($n -le 32)) {");
    s.add(8, "[System.IO.File]::WriteAllText($prog, \"E $dw $tw\")");
    s.add(6, "}");
    s.add(4, "}");
    s.add(2, "} finally { $z.Dispose() }");
    s.add(2, "$rootTmp = [System.IO.Path]::GetFullPath(\"$tmp\")");
    s.add(2, d.endsWithSep(QStringLiteral("rootTmp")));
    s.add(2, QStringLiteral("$files = @(Get-ChildItem -LiteralPath \"$tmp\"") + d.allFiles());
    if (d.linux_) {
        addRestoreWritePhase(s, d);
    } else {
        s.add(2, "$wn = $files.Count");
        s.add(2, "$wt = 0");
        s.add(2, "foreach ($f in $files) { $wt += $f.Length }");
        s.add(2, "if ($wt -le 0) { $wt = 1 }");
        s.add(2, "$wi = 0");
        s.add(2, "$wd = 0");
        s.add(2, "foreach ($f in $files) {");
        s.add(4, d.prefixCheck(QStringLiteral("$f.FullName"), QStringLiteral("$rootTmp"), QStringLiteral("unsafe restore source")));
        s.add(4, "$rel = $f.FullName.Substring($rootTmp.Length)");
        s.add(4, QStringLiteral("$target = ") + d.joinPath(QStringLiteral("\"$dst\""), QStringLiteral("$rel")));
        s.add(4, "$fullDst = [System.IO.Path]::GetFullPath($target)");
        s.add(4, "$rootDst = [System.IO.Path]::GetFullPath(\"$dst\")");
        s.add(4, d.endsWithSep(QStringLiteral("rootDst")));
        s.add(4, d.prefixCheck(QStringLiteral("$fullDst"), QStringLiteral("$rootDst"), QStringLiteral("unsafe restore target: $rel")));
        s.add(4, QStringLiteral("$tdir = ") + d.parentOf(QStringLiteral("$fullDst")));
        s.add(4, d.ensureFolder(QStringLiteral("$tdir")));
        s.add(4, "[System.IO.File]::Copy($f.FullName, $fullDst, $true)");
        s.add(4, "$wi++");
        s.add(4, "$wd += $f.Length");
        s.add(4, "if (($wi % 8) -eq 0 -or ($wi -eq $wn) -or ($wn -le 32)) {");
        s.add(6, "[System.IO.File]::WriteAllText($prog, \"W $wd $wt\")");
        s.add(4, "}");
        s.add(2, "}");
    }
    s.add(0, "} finally {");
    s.add(2, "try { if (Test-Path -LiteralPath \"$tmp\") { Remove-Item -LiteralPath \"$tmp\" -Recurse -Force } } catch { }");
    s.add(0, "}");
    return s.text();
}

LeftOutEntries leftOutEntries(const QByteArray& listing)
{
    LeftOutEntries out;
    const QList<QByteArray> records = listing.split('\0');
    for (const QByteArray& record : records) {
        if (record.size() < 2)
            continue;
        const QString path = QString::fromUtf8(record.mid(1));
        if (record.at(0) == 'S')
            out.special << path;
        else if (record.at(0) == 'N')
            out.uncarried << path;
    }
    return out;
}
