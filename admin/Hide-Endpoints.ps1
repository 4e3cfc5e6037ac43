# Hide-Endpoints.ps1: the remediation half, beside Detect-ShownEndpoints.ps1.
# Hides every endpoint of $Flow whose friendly name contains $Substring, with
# Quorvane, writes Quorvane's lines to its own output (names up to U+00FF
# whole), and exits 0 only when Quorvane changed something (its status 0);
# otherwise with Quorvane's own status (1 usage error, 2 nothing changed), or 1
# when Quorvane is missing or a setting is wrong.
$Flow = 'render'                              # render (playback) or capture (recording)
$Substring = 'NVIDIA High Definition Audio'   # the same as in the detection script

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
$run = Invoke-Tool 'Quorvane.exe' @('disable', $Flow, $Substring)
$run.Lines | ForEach-Object { Write-Output $_ }
if ($run.Status -lt 0) { exit 1 }
exit $run.Status
