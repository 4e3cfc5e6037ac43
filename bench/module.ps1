# The module's own share of a listing: Get-QuorvaneEndpoint beside
# QuorvaneList.exe -utf8 alone, each run REPEAT times in turn inside this one
# PowerShell session, so that PowerShell's own start-up is left out. The
# programs are those of $Folder, with the module's files beside them; the alone
# run starts the lister as the module does and reads all its bytes.
# usage: pwsh -File bench/module.ps1 FOLDER REPEAT
param([string]$Folder, [int]$Repeat = 5)
$Folder = (Resolve-Path -LiteralPath $Folder).Path
Import-Module (Join-Path $Folder 'Quorvane.psd1') -Force -ErrorAction Stop

function Measure-Milliseconds([scriptblock]$Block) {
    $watch = [Diagnostics.Stopwatch]::StartNew()
    & $Block | Out-Null
    $watch.Elapsed.TotalMilliseconds
}
$alone = {
    $start = New-Object Diagnostics.ProcessStartInfo (Join-Path $Folder 'QuorvaneList.exe'), '-utf8'
    $start.UseShellExecute = $false
    $start.RedirectStandardOutput = $true
    $process = [Diagnostics.Process]::Start($start)
    $bytes = New-Object IO.MemoryStream
    $process.StandardOutput.BaseStream.CopyTo($bytes)
    $process.WaitForExit()
    $process.Dispose()
}
$module = { Get-QuorvaneEndpoint }
$count = @(& $module).Count
# Once each first, so that both run with warm caches.
$null = Measure-Milliseconds $alone; $null = Measure-Milliseconds $module
$times = @{ Alone = @(); Module = @() }
for ($run = 0; $run -lt $Repeat; $run++) {
    $times.Alone += Measure-Milliseconds $alone
    $times.Module += Measure-Milliseconds $module
}
$median = { param($values) @($values | Sort-Object)[[math]::Floor(($values.Count - 1) / 2)] }
$aloneMs = & $median $times.Alone
$moduleMs = & $median $times.Module
'{0} endpoints | QuorvaneList.exe -utf8 {1:N0} ms | Get-QuorvaneEndpoint {2:N0} ms | ratio {3:N2}' -f $count, $aloneMs, $moduleMs, ($moduleMs / $aloneMs)
