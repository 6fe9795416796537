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

// Only the Windows texts list files and make folders through cmdlets; the
// Linux scripts do both with .NET calls of their own.
const char kWindowsAllFiles[] = " -Recurse -File)";

QString windowsEnsureFolder(const QString& dir)
{
    return QStringLiteral("if (%1 -and !(Test-Path -LiteralPath %1)) { New-Item -ItemType Directory -Path %1 -Force | Out-Null }").arg(dir);
}

// robocopy's Linux stand-in, without the copy: the panel holds the
// data-root lock for the whole run, so the files are zipped where they lie
// and the snapshot stays consistent without a staging copy of every byte.
// The walk keeps robocopy's choice of files: the same exclusions (folder
// names compared ignoring case at any depth, "*.log" files), links skipped,
// hidden entries kept, and the backup folder placed inside the data root
// left out. A FIFO would block the zip and a socket or device fail it, and a
// name that is not valid UTF-8 reaches .NET altered, naming nothing: these
// are left out and listed in $left ("S" special, "N" name, NUL-ended) so that
// one odd entry does not fail the snapshot of everything else.
void addWalkFunction(ScriptLines& s)
{
    s.add(0, "function Add-DataTree([string]$from, [string]$prefix) {");
    s.add(2, "foreach ($e in @(Get-ChildItem -LiteralPath $from -Force)) {");
    s.add(4, "if (-not $e.Exists -and $e.Name.Contains([char]0xFFFD)) { [System.IO.File]::AppendAllText($left, \"N$($e.FullName)`0\"); continue }");
    s.add(4, "if ($null -ne $e.LinkTarget) { continue }");
    s.add(4, "if ($e.PSIsContainer) {");
    s.add(6, "if (@('logs', 'cache', 'Backups', '.__restore_bak') -contains $e.Name) { continue }");
    s.add(6, "if ($skip -and ($e.FullName -ceq $skip)) { continue }");
    s.add(6, "Add-DataTree $e.FullName ($prefix + $e.Name + '/')");
    s.add(4, "} elseif (-not ($e.Name -like '*.log')) {");
    s.add(6, "if ($e.UnixStat -and (($e.UnixStat.Mode -band 0xF000) -ne 0x8000)) { [System.IO.File]::AppendAllText($left, \"S$($e.FullName)`0\"); continue }");
    s.add(6, "$files.Add(@($e.FullName, ($prefix + $e.Name), $e.Length))");
    s.add(4, "}");
    s.add(2, "}");
    s.add(0, "}");
}

// The zip classes without Add-Type, whose first call costs a third of a
// second of module loading; every other call in the Linux scripts is a .NET
// call for the same reason.
const char kLoadZip[] = "[void][System.Reflection.Assembly]::Load('System.IO.Compression.ZipFile')";

// Progress goes to a small file the program polls. Written after every few
// entries it cost seconds on thousands of small files; on a clock it costs
// nothing and still moves the bar smoothly.
const char kProgressClock[] = "$tick = [System.Diagnostics.Stopwatch]::StartNew()";
const char kProgressDue[] = "$tick.ElapsedMilliseconds -ge 250";

// The program keeps the script's standard input open and never writes to
// it, so a read that completes means the program is gone. The script then
// stops at once: a launcher between the program and the runtime may leave
// the runtime running when the program dies.
void addProgramWatch(ScriptLines& s)
{
    s.add(0, "$programGone = [Console]::OpenStandardInput().ReadAsync([byte[]]::new(1), 0, 1)");
}

const char kStopWhenProgramGone[] = "if ($programGone.IsCompleted) { [Environment]::Exit(70) }";

// The Linux restore. One pass over the archive checks every entry and plans
// its target before anything is unpacked, so that a refusal leaves the data
// root untouched: names that climb out, links, the backup folder (a zip
// holding "Backups/…" must not overwrite the user's other snapshots, which
// no safety copy covers), and any target reached through a symbolic link
// inside the data root, which the safety copy and the roll-back would not
// cover either. The entries are then unpacked into a private folder and
// moved into the data root.
QString linuxRestoreScriptText(const RestoreScriptValues& v)
{
    const Dialect d { true };
    ScriptLines s;
    s.add(0, "$ErrorActionPreference='Stop'");
    s.add(0, "$ErrorView='NormalView'");
    s.add(0, QStringLiteral("$zip=") + psQuote(v.zip));
    s.add(0, QStringLiteral("$dst=") + psQuote(v.dst));
    s.add(0, QStringLiteral("$tmp=") + psQuote(v.tmp));
    s.add(0, QStringLiteral("$prog=") + psQuote(v.prog));
    s.add(0, QStringLiteral("$keep=") + psQuote(v.keep));
    addProgramWatch(s);
    // A name that starts at the root or a drive letter, or holds a ".."
    // segment under either separator: a backslash is an ordinary name
    // character here, so it is kept, but a name that would climb out under
    // either reading is refused.
    s.add(0, "$unsafeName = [regex]::new('^[\\\\/]|^[A-Za-z]:|(^|[\\\\/])\\.\\.([\\\\/]|$)')");
    s.add(0, "try {");
    s.add(2, kLoadZip);
    s.add(2, "$rootTmp = [System.IO.Path]::GetFullPath($tmp)");
    s.add(2, d.endsWithSep(QStringLiteral("rootTmp")));
    s.add(2, "$rootDst = [System.IO.Path]::GetFullPath($dst)");
    s.add(2, d.endsWithSep(QStringLiteral("rootDst")));
    s.add(2, "$jobs = [System.Collections.Generic.Dictionary[string, object]]::new([System.StringComparer]::Ordinal)");
    s.add(2, "$sizes = [System.Collections.Generic.List[long]]::new()");
    s.add(2, "$plan = [System.Collections.Generic.List[object]]::new()");
    s.add(2, "$made = [System.Collections.Generic.HashSet[string]]::new([System.StringComparer]::Ordinal)");
    s.add(2, "$checked = [System.Collections.Generic.HashSet[string]]::new([System.StringComparer]::Ordinal)");
    s.add(2, "$tw = 0");
    s.add(2, "$wt = 0");
    s.add(2, "$z = [System.IO.Compression.ZipFile]::OpenRead($zip)");
    s.add(2, "try {");
    s.add(4, "$index = -1");
    s.add(4, "foreach ($e in $z.Entries) {");
    s.add(6, "$index++");
    s.add(6, "if ($e.Name -eq '') { continue }");
    s.add(6, kStopWhenProgramGone);
    s.add(6, "$raw = $e.FullName");
    s.add(6, "if ([string]::IsNullOrEmpty($raw)) { continue }");
    s.add(6, "if ($unsafeName.IsMatch($raw)) { throw \"unsafe zip entry: $raw\" }");
    s.add(6, "if ((($e.ExternalAttributes -shr 16) -band 0xF000) -eq 0xA000) { throw \"unsafe zip entry: $raw\" }");
    s.add(6, QStringLiteral("$full = [System.IO.Path]::GetFullPath(") + d.joinPath(QStringLiteral("$tmp"), QStringLiteral("$raw")) + QLatin1Char(')'));
    s.add(6, d.prefixCheck(QStringLiteral("$full"), QStringLiteral("$rootTmp"), QStringLiteral("unsafe zip entry: $raw")));
    s.add(6, "$rel = $full.Substring($rootTmp.Length)");
    s.add(6, "if ($rel.Split('/')[0] -ieq 'Backups') { continue }");
    s.add(6, QStringLiteral("$fullDst = [System.IO.Path]::GetFullPath(") + d.joinPath(QStringLiteral("$dst"), QStringLiteral("$rel")) + QLatin1Char(')'));
    s.add(6, d.prefixCheck(QStringLiteral("$fullDst"), QStringLiteral("$rootDst"), QStringLiteral("unsafe restore target: $rel")));
    s.add(6, "if ($keep -and (($fullDst -ceq $keep) -or $fullDst.StartsWith($keep + '/', [System.StringComparison]::Ordinal))) { continue }");
    s.add(6, "$p = $fullDst");
    s.add(6, "while ($p.Length -ge $rootDst.Length -and $checked.Add($p)) {");
    s.add(8, "if ($null -ne ([System.IO.FileInfo]::new($p)).LinkTarget) { throw \"restore target is a symbolic link: $($p.Substring($rootDst.Length))\" }");
    s.add(8, "$p = [System.IO.Path]::GetDirectoryName($p)");
    s.add(6, "}");
    s.add(6, QStringLiteral("$dir = ") + d.parentOf(QStringLiteral("$full")));
    s.add(6, "if ($made.Add($dir)) { [void][System.IO.Directory]::CreateDirectory($dir) }");
    // Progress counts bytes plus one per entry, so that empty files move it.
    s.add(6, "$w = $e.Length + 1");
    s.add(6, "$tw += $w");
    // A name given twice is unpacked once, from its last entry, as a
    // sequential unpacking that overwrites would leave it.
    s.add(6, "$old = $null");
    s.add(6, "if ($jobs.TryGetValue($full, [ref]$old)) { $tw -= $old[2]; $old[0] = $index; $old[2] = $w; continue }");
    s.add(6, "$jobs[$full] = [object[]]@($index, $full, $w)");
    s.add(6, "$sizes.Add(-$w)");
    s.add(6, "$plan.Add([object[]]@($full, $fullDst, $w))");
    s.add(6, "$wt += $w");
    s.add(4, "}");
    s.add(2, "} finally { $z.Dispose() }");
    s.add(2, "if ($tw -le 0) { $tw = 1 }");
    s.add(2, "if ($wt -le 0) { $wt = 1 }");
    s.add(2, "[System.IO.File]::WriteAllText($prog, \"E 0 $tw\")");
    s.add(2, kProgressClock);
    // Inflating is the bulk of a restore, and one core inflates at the speed
    // of `unzip`; a large archive is unpacked by several workers, each with
    // its own reader, taking the largest entries first from one queue.
    s.add(2, "$order = [object[]]::new($jobs.Count)");
    s.add(2, "$jobs.Values.CopyTo($order, 0)");
    s.add(2, "[Array]::Sort($sizes.ToArray(), $order)");
    s.add(2, "$queue = [System.Collections.Concurrent.ConcurrentQueue[object]]::new($order)");
    s.add(2, "$workers = [Math]::Min(4, [Environment]::ProcessorCount)");
    s.add(2, "if ($tw -lt 16MB -or $order.Count -lt 2) { $workers = 1 }");
    s.add(2, "$counts = [object[]]::new($workers)");
    s.add(2, "for ($k = 0; $k -lt $workers; $k++) { $counts[$k] = [long[]]::new(1) }");
    s.add(2, "$stop = [long[]]::new(1)");
    s.add(2, "$report = {");
    s.add(4, kStopWhenProgramGone);
    s.add(4, QStringLiteral("if (%1) {").arg(QLatin1String(kProgressDue)));
    s.add(6, "$dw = 0");
    s.add(6, "foreach ($c in $counts) { $dw += $c[0] }");
    s.add(6, "[System.IO.File]::WriteAllText($prog, \"E $([Math]::Min($dw, $tw)) $tw\")");
    s.add(6, "$tick.Restart()");
    s.add(4, "}");
    s.add(2, "}");
    s.add(2, "$extract = {");
    s.add(4, "param($zip, $queue, $count, $stop, $inline)");
    s.add(4, "$ErrorActionPreference = 'Stop'");
    s.add(4, "$a = [System.IO.Compression.ZipFile]::OpenRead($zip)");
    s.add(4, "try {");
    s.add(6, "$all = $a.Entries");
    s.add(6, "$j = $null");
    s.add(6, "while ($stop[0] -eq 0 -and $queue.TryDequeue([ref]$j)) {");
    s.add(8, "[System.IO.Compression.ZipFileExtensions]::ExtractToFile($all[$j[0]], $j[1], $true)");
    s.add(8, "$count[0] += $j[2]");
    s.add(8, "if ($inline) { & $inline }");
    s.add(6, "}");
    s.add(4, "} catch { $stop[0] = 1; throw } finally { $a.Dispose() }");
    s.add(2, "}");
    s.add(2, "if ($workers -eq 1) {");
    s.add(4, "& $extract $zip $queue $counts[0] $stop $report");
    s.add(2, "} else {");
    s.add(4, "$iss = [System.Management.Automation.Runspaces.InitialSessionState]::Create()");
    s.add(4, "$iss.LanguageMode = 'FullLanguage'");
    s.add(4, "$pool = [runspacefactory]::CreateRunspacePool(1, $workers, $iss, $Host)");
    s.add(4, "$pool.Open()");
    s.add(4, "$runs = [System.Collections.Generic.List[object]]::new()");
    s.add(4, "try {");
    s.add(6, "for ($k = 0; $k -lt $workers; $k++) {");
    s.add(8, "$ps = [powershell]::Create()");
    s.add(8, "$ps.RunspacePool = $pool");
    s.add(8, "[void]$ps.AddScript($extract).AddArgument($zip).AddArgument($queue).AddArgument($counts[$k]).AddArgument($stop).AddArgument($null)");
    s.add(8, "$runs.Add(@($ps, $ps.BeginInvoke()))");
    s.add(6, "}");
    s.add(6, "foreach ($r in $runs) { while (-not $r[1].AsyncWaitHandle.WaitOne(100)) { & $report } }");
    // The first failure, with the message of its cause, as the sequential
    // path reports it.
    s.add(6, "foreach ($r in $runs) {");
    s.add(8, "try { [void]$r[0].EndInvoke($r[1]) } catch { $x = $_.Exception; while ($x.InnerException -and ($x -is [System.Management.Automation.RuntimeException])) { $x = $x.InnerException }; throw $x.Message }");
    s.add(6, "}");
    s.add(4, "} finally {");
    s.add(6, "$stop[0] = 1");
    s.add(6, "foreach ($r in $runs) { $r[0].Dispose() }");
    s.add(6, "$pool.Dispose()");
    s.add(4, "}");
    s.add(2, "}");
    s.add(2, "[System.IO.File]::WriteAllText($prog, \"E $tw $tw\")");
    // The program records the writing phase from this line, before the
    // first file reaches the data root.
    s.add(2, "$wn = $plan.Count");
    s.add(2, "$wi = 0");
    s.add(2, "$wd = 0");
    s.add(2, "[System.IO.File]::WriteAllText($prog, \"W 0 $wt\")");
    s.add(2, "$tick.Restart()");
    s.add(2, "$made.Clear()");
    s.add(2, "foreach ($step in $plan) {");
    s.add(4, kStopWhenProgramGone);
    s.add(4, "$fullDst = $step[1]");
    s.add(4, QStringLiteral("$tdir = ") + d.parentOf(QStringLiteral("$fullDst")));
    s.add(4, "if ($made.Add($tdir)) { [void][System.IO.Directory]::CreateDirectory($tdir) }");
    // The unpacked copy is thrown away afterwards, so its files are moved: a
    // rename on the same file system instead of a second write of every byte.
    s.add(4, "[System.IO.File]::Move($step[0], $fullDst, $true)");
    s.add(4, "$wi++");
    s.add(4, "$wd += $step[2]");
    s.add(4, QStringLiteral("if (($wi -eq $wn) -or (%1)) {").arg(QLatin1String(kProgressDue)));
    s.add(6, "[System.IO.File]::WriteAllText($prog, \"W $([Math]::Min($wd, $wt)) $wt\")");
    s.add(6, "$tick.Restart()");
    s.add(4, "}");
    s.add(2, "}");
    s.add(0, "} finally {");
    s.add(2, "try { if ([System.IO.Directory]::Exists($tmp)) { [System.IO.Directory]::Delete($tmp, $true) } } catch { }");
    s.add(0, "}");
    return s.text();
}

} // namespace

namespace {

// The Linux snapshot: the files are listed by the walk above and zipped in
// place, so the work is one read of every byte, as for `zip -r`.
QString linuxCreateScriptText(const CreateScriptValues& v)
{
    const Dialect d { true };
    ScriptLines s;
    s.add(0, "$ErrorActionPreference='Stop'");
    s.add(0, "$ErrorView='NormalView'");
    s.add(0, QStringLiteral("$src=") + psQuote(v.src));
    s.add(0, QStringLiteral("$dst=") + psQuote(v.dst));
    s.add(0, QStringLiteral("$final=") + psQuote(v.final));
    s.add(0, QStringLiteral("$prog=") + psQuote(v.prog));
    s.add(0, QStringLiteral("$skip=") + psQuote(v.skip));
    s.add(0, QStringLiteral("$left=") + psQuote(v.left));
    addProgramWatch(s);
    s.add(0, "$done=$false");
    addWalkFunction(s);
    s.add(0, "try {");
    s.add(2, "$files = [System.Collections.Generic.List[object]]::new()");
    s.add(2, "Add-DataTree \"$src\" ''");
    s.add(2, kLoadZip);
    s.add(2, "$rootSrc = [System.IO.Path]::GetFullPath(\"$src\")");
    s.add(2, d.endsWithSep(QStringLiteral("rootSrc")));
    s.add(2, "$n = $files.Count");
    s.add(2, "$tb = 0");
    s.add(2, "foreach ($f in $files) { $tb += $f[2] }");
    s.add(2, "$useBytes = $false");
    s.add(2, "$tw = $n");
    s.add(2, "if ($tb -gt 0) { $tw = $tb; $useBytes = $true }");
    s.add(2, "if ($tw -le 0) { $tw = 1 }");
    s.add(2, "if ([System.IO.File]::Exists($dst)) { [System.IO.File]::Delete($dst) }");
    s.add(2, "$z = [System.IO.Compression.ZipFile]::Open(\"$dst\", 'Create')");
    s.add(2, "try {");
    s.add(4, "$i = 0");
    s.add(4, "$dw = 0");
    s.add(4, "[System.IO.File]::WriteAllText($prog, \"Z 0 $tw\")");
    s.add(4, kProgressClock);
    s.add(4, "foreach ($f in $files) {");
    s.add(6, kStopWhenProgramGone);
    s.add(6, d.prefixCheck(QStringLiteral("$f[0]"), QStringLiteral("$rootSrc"), QStringLiteral("unsafe snapshot source")));
    s.add(6, "$rel = $f[1]");
    // The restore refuses entry names in drive-letter form; say so now
    // rather than write a snapshot that cannot be restored.
    s.add(6, "if ($rel -match '^[A-Za-z]:') { throw \"file name cannot be restored from a snapshot: $rel\" }");
    s.add(6, "[void][System.IO.Compression.ZipFileExtensions]::CreateEntryFromFile($z, $f[0], $rel)");
    s.add(6, "$i++");
    s.add(6, "if ($useBytes) { $dw += $f[2] } else { $dw += 1 }");
    s.add(6, QStringLiteral("if (($i -eq $n) -or (%1)) {").arg(QLatin1String(kProgressDue)));
    s.add(8, "[System.IO.File]::WriteAllText($prog, \"Z $([Math]::Min($dw, $tw)) $tw\")");
    s.add(8, "$tick.Restart()");
    s.add(6, "}");
    s.add(4, "}");
    s.add(2, "} finally { $z.Dispose() }");
    s.add(2, "if ([System.IO.File]::Exists($final) -or [System.IO.Directory]::Exists($final)) { throw \"snapshot target already exists\" }");
    s.add(2, "[System.IO.File]::Move($dst, $final, $false)");
    s.add(2, "$done = $true");
    s.add(0, "} finally {");
    s.add(2, "if (-not $done) { if ([System.IO.File]::Exists($dst)) { [System.IO.File]::Delete($dst) } }");
    s.add(0, "}");
    return s.text();
}

} // namespace

QString createScriptText(const CreateScriptValues& v, ScriptDialect dialect)
{
    if (dialect == ScriptDialect::Linux)
        return linuxCreateScriptText(v);
    const Dialect d { false };
    ScriptLines s;
    s.add(0, "$ErrorActionPreference='Stop'");
    s.add(0, QStringLiteral("$src=") + psQuote(v.src));
    s.add(0, QStringLiteral("$dst=") + psQuote(v.dst));
    s.add(0, QStringLiteral("$final=") + psQuote(v.final));
    s.add(0, QStringLiteral("$tmp=") + psQuote(v.tmp));
    s.add(0, QStringLiteral("$prog=") + psQuote(v.prog));
    s.add(0, "$done=$false");
    s.add(0, "try {");
    s.add(2, "robocopy \"$src\" \"$tmp\" /E /XD logs cache Backups \".__restore_bak\" /XF *.log /NFL /NDL /NJH /NJS /NC /NS /NP | Out-Null");
    s.add(2, "if ($LASTEXITCODE -ge 8) { throw \"robocopy failed: $LASTEXITCODE\" }");
    s.add(2, "Add-Type -AssemblyName System.IO.Compression.FileSystem");
    s.add(2, "$rootTmp = [System.IO.Path]::GetFullPath(\"$tmp\")");
    s.add(2, d.endsWithSep(QStringLiteral("rootTmp")));
    s.add(2, QStringLiteral("$files = @(Get-ChildItem -LiteralPath \"$tmp\"") + QLatin1String(kWindowsAllFiles));
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
    s.add(6, d.prefixCheck(QStringLiteral("$f.FullName"), QStringLiteral("$rootTmp"), QStringLiteral("unsafe snapshot source")));
    s.add(6, "$rel = $f.FullName.Substring($rootTmp.Length)");
    s.add(6, "$rel = $rel -replace '\\\\','/'");
    s.add(6, "[System.IO.Compression.ZipFileExtensions]::CreateEntryFromFile($z, $f.FullName, $rel) | Out-Null");
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
    if (dialect == ScriptDialect::Linux)
        return linuxRestoreScriptText(v);
    const Dialect d { false };
    ScriptLines s;
    s.add(0, "$ErrorActionPreference='Stop'");
    s.add(0, QStringLiteral("$zip=") + psQuote(v.zip));
    s.add(0, QStringLiteral("$dst=") + psQuote(v.dst));
    s.add(0, QStringLiteral("$tmp=") + psQuote(v.tmp));
    s.add(0, QStringLiteral("$prog=") + psQuote(v.prog));
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
    s.add(6, "$raw = $e.FullName -replace '/','\\'");
    s.add(6, "if ([string]::IsNullOrEmpty($raw)) { continue }");
    s.add(6, "if ($raw.StartsWith('\\') -or $raw.StartsWith('/') -or $raw.Contains(':')) { throw \"unsafe zip entry: $raw\" }");
    s.add(6, "foreach ($seg in $raw.Split('\\')) { if ($seg -eq '..') { throw \"unsafe zip entry: $raw\" } }");
    s.add(6, QStringLiteral("$target = ") + d.joinPath(QStringLiteral("\"$tmp\""), QStringLiteral("$raw")));
    s.add(6, "$full = [System.IO.Path]::GetFullPath($target)");
    s.add(6, "$rootFull = [System.IO.Path]::GetFullPath(\"$tmp\")");
    s.add(6, d.endsWithSep(QStringLiteral("rootFull")));
    s.add(6, d.prefixCheck(QStringLiteral("$full"), QStringLiteral("$rootFull"), QStringLiteral("unsafe zip entry: $raw")));
    s.add(6, QStringLiteral("$dir = ") + d.parentOf(QStringLiteral("$full")));
    s.add(6, windowsEnsureFolder(QStringLiteral("$dir")));
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
    s.add(2, QStringLiteral("$files = @(Get-ChildItem -LiteralPath \"$tmp\"") + QLatin1String(kWindowsAllFiles));
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
    s.add(4, windowsEnsureFolder(QStringLiteral("$tdir")));
    s.add(4, "[System.IO.File]::Copy($f.FullName, $fullDst, $true)");
    s.add(4, "$wi++");
    s.add(4, "$wd += $f.Length");
    s.add(4, "if (($wi % 8) -eq 0 -or ($wi -eq $wn) -or ($wn -le 32)) {");
    s.add(6, "[System.IO.File]::WriteAllText($prog, \"W $wd $wt\")");
    s.add(4, "}");
    s.add(2, "}");
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
