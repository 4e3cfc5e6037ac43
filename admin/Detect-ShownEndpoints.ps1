# Detect-ShownEndpoints.ps1: the detection half of a fleet remediation (such as
# Intune's Remediations, run as SYSTEM). Asks QuorvaneList.exe for exactly the
# endpoints that Quorvane.exe disable $Flow $Substring acts on, through the same
# Windows calls and the same match, names each that is not hidden with its
# state, and exits 1, so that the remediation runs, while any of them is active.
# Exits 1 too when QuorvaneList.exe is missing or fails, or a setting is wrong,
# so that the failure shows in the report; otherwise 0. Its last line always
# says what it found, in counts, for a report that shows only that line.
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
# returns the summary that says what is wrong with them, or nothing. It names
# no setting's value, which the report's last line never shows.
function Test-Setting {
    # The flow words are Quorvane's own; -notcontains ignores case, as Quorvane does.
    if (@('render', 'playback', 'capture', 'recording', 'record') -notcontains $Flow) {
        return 'Setting refused: the flow is none of render, playback, capture, recording or record.'
    }
    # Hiding every endpoint of a flow is no fleet default, and Windows PowerShell
    # 5.1 would not pass an empty argument on at all.
    if ([string]::IsNullOrWhiteSpace($Substring)) {
        return 'Setting refused: the substring is empty or blank; set it to a piece of the names to hide.'
    }
    # Windows PowerShell 5.1 puts an argument on the command line without
    # escaping a double quote in it or a backslash at its end, so the tools
    # would be handed other words than these.
    if ($Substring.Contains('"') -or $Substring.EndsWith('\')) {
        return 'Setting refused: the substring holds a double quote or ends in a backslash, which Windows PowerShell 5.1 passes on wrongly.'
    }
    # Windows PowerShell 5.1 reads a script without a byte-order mark in the
    # machine's ANSI code page (about_Character_Encoding), so a setting beyond
    # ASCII saved as UTF-8 would reach the tools as other characters and match
    # nothing. The setting lines' own bytes are read, comments aside, since an
    # escaped value is beyond ASCII too once it runs.
    if ($PSCommandPath) {
        $bytes = [IO.File]::ReadAllBytes($PSCommandPath)
        $marked = ($bytes.Length -ge 3 -and $bytes[0] -eq 0xEF -and $bytes[1] -eq 0xBB -and $bytes[2] -eq 0xBF) -or
            ($bytes.Length -ge 2 -and (($bytes[0] -eq 0xFF -and $bytes[1] -eq 0xFE) -or ($bytes[0] -eq 0xFE -and $bytes[1] -eq 0xFF)))
        $settings = if ($marked) { @() } else { [Text.Encoding]::GetEncoding(28591).GetString($bytes) -split "`n" -match '^\$(Flow|Substring) *=' }
        foreach ($line in $settings) {
            $tokens = $null
            $errors = $null
            [void][Management.Automation.Language.Parser]::ParseInput($line, [ref]$tokens, [ref]$errors)
            if (@($tokens | Where-Object { $_.Kind -ne 'Comment' -and $_.Text -match '[^\x00-\x7F]' }).Count -gt 0) {
                return 'Setting refused: a setting holds a character beyond ASCII in a file without a byte-order mark, which Windows PowerShell 5.1 misreads; write each such character as a [char] escape, such as "Kopfh$([char]0xF6)rer".'
            }
        }
    }
}

# Runs one of the tools and returns its status and its lines, decoded as
# $Encoding: PowerShell decodes a program's output with
# [Console]::OutputEncoding, so that is set for the call. A host without a
# console may refuse the setting; the lines are then decoded in its code page.
function Invoke-Tool([string]$Program, [string[]]$Arguments, [Text.Encoding]$Encoding) {
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
            [Console]::OutputEncoding = $Encoding
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

# The lines, in order, that fit in $Room characters with their line ends; the
# first that does not fit is cut to the room left and ends in '...'.
function Select-Fitting([object[]]$Lines, [int]$Room) {
    foreach ($line in $Lines) {
        $text = "$line"
        if ($text.Length + 2 -le $Room) {
            $text
            $Room -= $text.Length + 2
            continue
        }
        if ($Room -gt 5) {
            $keep = $Room - 5
            # Never half of a character beyond U+FFFF.
            if ([char]::IsHighSurrogate($text[$keep - 1])) { $keep-- }
            $text.Substring(0, $keep) + '...'
        }
        return
    }
}

# Writes the lines and then the summary, which an agent's report shows as the
# script's last line. Intune keeps at most 2,048 characters of a script's output
# (Microsoft's Remediations, "Script requirements"), and does not say how it
# counts a line end: counting each as two (CR LF) is our own margin. When the
# lines would not fit beside the summary, those from the middle are left out,
# and a line says how many.
function Write-Report([object[]]$Lines, [string]$Summary) {
    $room = 2048 - ($Summary.Length + 2)
    $cost = 0
    foreach ($line in $Lines) { $cost += "$line".Length + 2 }
    if ($cost -le $room) {
        $Lines
    } else {
        $room -= 40   # the line that says how many were left out
        $head = @(Select-Fitting $Lines ([int][math]::Floor($room / 2)))
        foreach ($line in $head) { $room -= $line.Length + 2 }
        $rest = @($Lines | Select-Object -Skip $head.Count)
        [array]::Reverse($rest)
        $tail = @(Select-Fitting $rest $room)
        [array]::Reverse($tail)
        $head
        $left = $Lines.Count - $head.Count - $tail.Count
        if ($left -gt 0) { "... $left of $($Lines.Count) lines left out ..." }
        $tail
    }
    $Summary
}
# <<< Shared

$problem = Test-Setting
if ($problem) {
    Write-Report @() $problem
    exit 1
}
# -utf8: every name whole, whatever the machine's language.
$listing = Invoke-Tool 'QuorvaneList.exe' @('-utf8', $Flow, $Substring) ([Text.UTF8Encoding]::new($false))
if ($listing.Status -eq 1) {
    # A QuorvaneList.exe from before -utf8 answers it with its usage text.
    Write-Report @('QuorvaneList.exe does not know -utf8: install the QuorvaneList.exe of the same release as this script.') 'QuorvaneList.exe failed (status 1).'
    exit 1
}
if ($listing.Status -lt 0) {
    Write-Report $listing.Lines 'QuorvaneList.exe could not run.'
    exit 1
}
if ($listing.Status -ne 0) {
    Write-Report $listing.Lines "QuorvaneList.exe failed (status $($listing.Status))."
    exit 1
}
# Each line: flow, state, id and friendly name, separated by tabs, the name last.
# Every one not hidden is named with its state, but only an active one counts as
# shown: what Windows reports for an endpoint that is hidden and also unplugged
# or absent is not documented, and counting that as shown could run the
# remediation forever. One that becomes active is caught at the next detection.
$flowWord = $Flow.ToLowerInvariant()
$active = 0
$shown = @(foreach ($line in $listing.Lines) {
    $fields = $line -split "`t", 4
    if ($fields[1] -ne 'disabled') { "Shown ($($fields[1])): $($fields[3])" }
    if ($fields[1] -eq 'active') { $active++ }
})
$matched = $listing.Lines.Count
if ($matched -eq 0) {
    Write-Report @() "Nothing to hide: no $flowWord endpoint's name matches."
    exit 0
}
$counts = "$active of $matched $flowWord endpoints that match $(if ($active -eq 1) { 'is' } else { 'are' }) active and shown"
if ($active -gt 0) {
    Write-Report $shown "${counts}: hiding needed."
    exit 1
}
Write-Report $shown "${counts}: nothing to hide."
exit 0
