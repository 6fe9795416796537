$ErrorActionPreference='Stop'
$zip='D:\Backups\Quillory-PreRestore-20240102-030405-006.zip'
$dst='C:\Users\O''Neil\AppData\Local\Tarnavel\TarnavelPanel'
$tmp='C:\Temp\krvrest_0f8fad5b-d9cb-469f-a165-70867728950e'
$prog='C:\Temp\krvrest_prog_7c9e6679-7425-40de-944b-e07fc1f90ae7.txt'
try {
  Add-Type -AssemblyName System.IO.Compression.FileSystem
  $z = [System.IO.Compression.ZipFile]::OpenRead("$zip")
  try {
    $entries = @($z.Entries | Where-Object { $_.Name -ne '' })
    $n = $entries.Count
    $tb = 0
    foreach ($e in $entries) { $tb += $e.Length }
    $useBytes = $false
    $tw = $n
    if ($tb -gt 0) { $tw = $tb; $useBytes = $true }
    if ($tw -le 0) { $tw = 1 }
    $i = 0
    $dw = 0
    foreach ($e in $entries) {
      $raw = $e.FullName -replace '/','\'
      if ([string]::IsNullOrEmpty($raw)) { continue }
      if ($raw.StartsWith('\') -or $raw.StartsWith('/') -or $raw.Contains(':')) { throw "unsafe zip entry: $raw" }
      foreach ($seg in $raw.Split('\')) { if ($seg -eq '..') { throw "unsafe zip entry: $raw" } }
      $target = Join-Path "$tmp" $raw
      $full = [System.IO.Path]::GetFullPath($target)
      $rootFull = [System.IO.Path]::GetFullPath("$tmp")
      if (-not $rootFull.EndsWith('\')) { $rootFull += '\' }
      if (-not $full.StartsWith($rootFull, [System.StringComparison]::OrdinalIgnoreCase)) { throw "unsafe zip entry: $raw" }
      $dir = Split-Path -Parent $full
      if ($dir -and !(Test-Path -LiteralPath $dir)) { New-Item -ItemType Directory -Path $dir -Force | Out-Null }
      [System.IO.Compression.ZipFileExtensions]::ExtractToFile($e, $full, $true)
      $i++
      if ($useBytes) { $dw += $e.Length } else { $dw += 1 }
      if (($i % 8) -eq 0 -or ($i -eq $n) -or ($n -le 32)) {
        [System.IO.File]::WriteAllText($prog, "E $dw $tw")
      }
    }
  } finally { $z.Dispose() }
  $rootTmp = [System.IO.Path]::GetFullPath("$tmp")
  if (-not $rootTmp.EndsWith('\')) { $rootTmp += '\' }
  $files = @(Get-ChildItem -LiteralPath "$tmp" -Recurse -File)
  $wn = $files.Count
  $wt = 0
  foreach ($f in $files) { $wt += $f.Length }
  if ($wt -le 0) { $wt = 1 }
  $wi = 0
  $wd = 0
  foreach ($f in $files) {
    if (-not $f.FullName.StartsWith($rootTmp, [System.StringComparison]::OrdinalIgnoreCase)) { throw "unsafe restore source" }
    $rel = $f.FullName.Substring($rootTmp.Length)
    $target = Join-Path "$dst" $rel
    $fullDst = [System.IO.Path]::GetFullPath($target)
    $rootDst = [System.IO.Path]::GetFullPath("$dst")
    if (-not $rootDst.EndsWith('\')) { $rootDst += '\' }
    if (-not $fullDst.StartsWith($rootDst, [System.StringComparison]::OrdinalIgnoreCase)) { throw "unsafe restore target: $rel" }
    $tdir = Split-Path -Parent $fullDst
    if ($tdir -and !(Test-Path -LiteralPath $tdir)) { New-Item -ItemType Directory -Path $tdir -Force | Out-Null }
    [System.IO.File]::Copy($f.FullName, $fullDst, $true)
    $wi++
    $wd += $f.Length
    if (($wi % 8) -eq 0 -or ($wi -eq $wn) -or ($wn -le 32)) {
      [System.IO.File]::WriteAllText($prog, "W $wd $wt")
    }
  }
} finally {
  try { if (Test-Path -LiteralPath "$tmp") { Remove-Item -LiteralPath "$tmp" -Recurse -Force } } catch { }
}
