# Hide-Endpoints.ps1: the remediation half, beside Detect-ShownEndpoints.ps1.
# Hides every endpoint of $Flow whose friendly name contains $Substring, with
# Quorvane, and exits 0 only when Quorvane changed something (its status 0);
# otherwise with Quorvane's own status (1 usage error, 2 nothing changed), or 1
# when Quorvane is not where $Quorvane says.
$Flow = 'Render'                              # Render (playback) or Capture (recording)
$Substring = 'NVIDIA High Definition Audio'   # the same as in the detection script
$Quorvane = 'C:\Tools\Quorvane.exe'           # where the fleet has it

if (-not (Test-Path -LiteralPath $Quorvane -PathType Leaf)) {
    Write-Output "Quorvane is not at $Quorvane"
    exit 1
}
# Quorvane writes each character of a name up to U+00FF as one byte of that
# value (Latin-1); PowerShell decodes a program's output with
# [Console]::OutputEncoding, so Latin-1 is set for the call and the names in the
# report come out whole. A host without a console may refuse the setting; the
# names are then decoded in its own code page.
$saved = $null
try {
    $saved = [Console]::OutputEncoding
    [Console]::OutputEncoding = [Text.Encoding]::GetEncoding(28591)
} catch { }
try {
    & $Quorvane disable $Flow $Substring
    $status = $LASTEXITCODE
} finally {
    if ($null -ne $saved) { try { [Console]::OutputEncoding = $saved } catch { } }
}
exit $status
