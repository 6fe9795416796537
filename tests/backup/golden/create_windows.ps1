$ErrorActionPreference='Stop'
$src='C:\Users\O''Neil\AppData\Local\Tarnavel\TarnavelPanel'
$dst='D:\Backups\Quillory-Auto-20240102-030405-006.zip.4242.part'
$final='D:\Backups\Quillory-Auto-20240102-030405-006.zip'
$tmp='C:\Temp\krvbak_0f8fad5b-d9cb-469f-a165-70867728950e'
$prog='C:\Temp\krvbak_prog_7c9e6679-7425-40de-944b-e07fc1f90ae7.txt'
$done=$false
try {
  robocopy "$src" "$tmp" /E /XD logs cache Backups ".__restore_bak" /XF *.log /NFL /NDL /NJH /NJS /NC /NS /NP | Out-Null
  if ($LASTEXITCODE -ge 8) { throw "robocopy failed: $LASTEXITCODE" }
  Add-Type -AssemblyName System.IO.Compression.FileSystem
  $rootTmp = [System.IO.Path]::GetFullPath("$tmp")
  if (-not $rootTmp.EndsWith('\')) { $rootTmp += '\' }
  $files = @(Get-ChildItem -LiteralPath "$tmp" -Recurse -File)
  $n = $files.Count
  $tb = 0
  foreach ($f in $files) { $tb += $f.Length }
  $useBytes = $false
  $tw = $n
  if ($tb -gt 0) { $tw = $tb; $useBytes = $true }
  if ($tw -le 0) { $tw = 1 }
  if (Test-Path -LiteralPath "$dst") { Remove-Item -LiteralPath "$dst" -Force }
  $z = [System.IO.Compression.ZipFile]::Open("$dst", 'Create')
  try {
    $i = 0
    $dw = 0
    foreach ($f in $files) {
      if (-not $f.FullName.StartsWith($rootTmp, [System.StringComparison]::OrdinalIgnoreCase)) { throw "unsafe snapshot source" }
      $rel = $f.FullName.Substring($rootTmp.Length)
      $rel = $rel -replace '\\','/'
      [System.IO.Compression.ZipFileExtensions]::CreateEntryFromFile($z, $f.FullName, $rel) | Out-Null
      $i++
      if ($useBytes) { $dw += $f.Length } else { $dw += 1 }
      if (($i % 8) -eq 0 -or ($i -eq $n) -or ($n -le 32)) {
        [System.IO.File]::WriteAllText($prog, "$dw $tw")
      }
    }
  } finally { $z.Dispose() }
  if (Test-Path -LiteralPath "$final") { throw "snapshot target already exists" }
  Move-Item -LiteralPath "$dst" -Destination "$final"
  $done = $true
} finally {
  try { if (Test-Path -LiteralPath "$tmp") { Remove-Item -LiteralPath "$tmp" -Recurse -Force } } catch { }
  if (-not $done) { if (Test-Path -LiteralPath "$dst") { Remove-Item -LiteralPath "$dst" -Force } }
}
