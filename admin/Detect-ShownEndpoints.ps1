# Detect-ShownEndpoints.ps1: the detection half of a fleet remediation (such as
# Intune's Remediations, run as SYSTEM). Asks QuorvaneList.exe for exactly the
# endpoints that Quorvane.exe disable $Flow $Substring acts on, through the same
# Windows calls and the same match, and exits 1, so that the remediation runs,
# while any of them is active and not hidden. Exits 1 too when QuorvaneList.exe
# is missing or fails, or a setting is wrong, so that the failure shows in the
# report.
# Otherwise exits 0, and says so when nothing matched, so that a typo shows.
# Set both as in Hide-Endpoints.ps1.
$Flow = 'render'                              # render (playback) or capture (recording)
$Substring = 'NVIDIA High Definition Audio'   # matched as Quorvane matches: exactly, case-sensitively

# >>> Shared: this block stands the same in Detect-ShownEndpoints.ps1 and
# Hide-Endpoints.ps1 (each must work as a single file), and the project's
# checks keep the two copies identical.

# Where the tools are installed: a folder only administrators can change.
# ProgramW6432 names the 64-bit Program Files folder in a 32-bit PowerShell too,
# where ProgramFiles names Program Files (x86).
$Folder = Join-Path $(if ($env:ProgramW6432) { $env:ProgramW6432 } else { $env:ProgramFiles }) 'Quorvane'

# Refuses settings the tools would not take as meant, before anything runs:
# returns what is wrong with them, or nothing.
function Test-Setting {
    # The flow words are Quorvane's own; -notcontains ignores case, as Quorvane does.
    if (@('render', 'playback', 'capture', 'recording', 'record') -notcontains $Flow) {
        return "Flow '$Flow' is none of render, playback, capture, recording or record."
    }
    # Hiding every endpoint of a flow is no fleet default, and Windows PowerShell
    # 5.1 would not pass an empty argument on at all.
    if ([string]::IsNullOrWhiteSpace($Substring)) {
        return 'Substring is empty or blank: set it to a piece of the names to hide.'
    }
    # Windows PowerShell 5.1 puts an argument on the command line without
    # escaping a double quote in it or a backslash at its end, so the tools
    # would be handed other words than these.
    if ($Substring.Contains('"') -or $Substring.EndsWith('\')) {
        return "Substring '$Substring' holds a double quote or ends in a backslash, which Windows PowerShell 5.1 passes on wrongly."
    }
}

# Runs one of the tools and returns its status and its lines. The tools write
# each character of a name up to U+00FF as one byte of that value (Latin-1),
# and PowerShell decodes a program's output with [Console]::OutputEncoding, so
# that is Latin-1 for the call and the names come out whole. A host without a
# console may refuse the setting; the names are then decoded in its code page.
function Invoke-Tool([string]$Program, [string[]]$Arguments) {
    $path = Join-Path $Folder $Program
    if (-not (Test-Path -LiteralPath $path -PathType Leaf)) {
        return @{ Status = -1; Lines = @("$Program is not in $Folder") }
    }
    # Set before the call, so that a tool that cannot start (blocked by
    # application control, say) leaves a status and a line, not nothing.
    $status = -1
    $lines = @()
    $saved = $null
    try {
        try {
            $saved = [Console]::OutputEncoding
            [Console]::OutputEncoding = [Text.Encoding]::GetEncoding(28591)
        } catch { }
        $lines = @(& $path @Arguments)
        $status = $LASTEXITCODE
    } catch {
        $lines = @("$Program could not run: $($_.Exception.Message)")
    } finally {
        if ($null -ne $saved) { try { [Console]::OutputEncoding = $saved } catch { } }
    }
    return @{ Status = $status; Lines = $lines }
}
# <<< Shared

$problem = Test-Setting
if ($problem) {
    Write-Output $problem
    exit 1
}
$listing = Invoke-Tool 'QuorvaneList.exe' @($Flow, $Substring)
if ($listing.Status -ne 0) {
    $listing.Lines | ForEach-Object { Write-Output $_ }
    Write-Output "QuorvaneList.exe could not list the endpoints (status $($listing.Status))."
    exit 1
}
# Each line: flow, state, id and friendly name, separated by tabs, the name last.
# Every one not hidden is named with its state, but only an active one counts as
# shown: what Windows reports for an endpoint that is hidden and also unplugged
# or absent is not documented, and counting that as shown could run the
# remediation forever. One that becomes active is caught at the next detection.
$active = 0
foreach ($line in $listing.Lines) {
    $fields = $line -split "`t", 4
    if ($fields[1] -ne 'disabled') { Write-Output "Shown ($($fields[1])): $($fields[3])" }
    if ($fields[1] -eq 'active') { $active++ }
}
if ($active -gt 0) { exit 1 }
if ($listing.Lines.Count -eq 0) {
    Write-Output "No $Flow endpoint's name contains '$Substring': nothing to hide. Is the substring right?"
    exit 0
}
Write-Output "None of the $($listing.Lines.Count) $Flow endpoints whose names contain '$Substring' is active and shown."
exit 0
