# The Quorvane module: audio endpoints as objects, over Quorvane.exe and
# QuorvaneList.exe in this module's own folder. It makes no Windows audio calls
# of its own: every listing is QuorvaneList.exe's and every change Quorvane.exe's,
# so the module selects exactly what the programs do.

Set-StrictMode -Version 2.0

# Quorvane.exe prints each character of a name up to U+00FF as one byte of that
# value and anything above as '?'; QuorvaneList.exe -utf8 prints UTF-8. The
# module reads the bytes itself, so neither depends on the console's encoding.
$script:Latin1 = [Text.Encoding]::GetEncoding(28591)
$script:Utf8 = New-Object Text.UTF8Encoding($false)
$script:FlowLabels = @{ 'Playback' = 'render'; 'Recording' = 'capture' }

# One argument as the programs' runtime splits a command line back into it:
# quoted, a double quote written \", and the backslashes before a double quote
# (the closing one included) doubled. It never writes "" inside quotes, which
# .NET on Linux would read otherwise than Windows does.
function ConvertTo-CommandLineArgument([string]$Text) {
    $backslash = [char]'\'
    $quoted = New-Object Text.StringBuilder
    [void]$quoted.Append('"')
    $backslashes = 0
    foreach ($character in $Text.ToCharArray()) {
        if ($character -eq $backslash) {
            $backslashes++
            continue
        }
        if ($character -eq '"') {
            [void]$quoted.Append($backslash, 2 * $backslashes + 1)
        } else {
            [void]$quoted.Append($backslash, $backslashes)
        }
        $backslashes = 0
        [void]$quoted.Append($character)
    }
    [void]$quoted.Append($backslash, 2 * $backslashes)
    [void]$quoted.Append('"')
    $quoted.ToString()
}

function New-QuorvaneError([string]$Message, [Management.Automation.ErrorCategory]$Category,
                           [string]$ErrorId, [object]$Target) {
    New-Object Management.Automation.ErrorRecord (
        (New-Object InvalidOperationException $Message), "Quorvane.$ErrorId", $Category, $Target)
}

# Runs one of the programs with the arguments given and returns its status and
# its output lines, decoded as $Encoding; or an error record when it is missing
# or cannot start (blocked by application control, say).
function Invoke-QuorvaneProgram([string]$Program, [string[]]$Arguments, [Text.Encoding]$Encoding) {
    $path = Join-Path $PSScriptRoot $Program
    if (-not (Test-Path -LiteralPath $path -PathType Leaf)) {
        return New-QuorvaneError "$Program is not in $PSScriptRoot, the Quorvane module's folder." ObjectNotFound ProgramMissing $path
    }
    $start = New-Object Diagnostics.ProcessStartInfo
    $start.FileName = $path
    $start.Arguments = (@(foreach ($argument in $Arguments) { ConvertTo-CommandLineArgument $argument }) -join ' ')
    $start.UseShellExecute = $false
    $start.CreateNoWindow = $true
    $start.RedirectStandardOutput = $true
    $process = New-Object Diagnostics.Process
    $process.StartInfo = $start
    try {
        [void]$process.Start()
    } catch {
        $process.Dispose()
        return New-QuorvaneError "$Program could not start: $($_.Exception.GetBaseException().Message)" ResourceUnavailable ProgramNotStarted $path
    }
    try {
        $bytes = New-Object IO.MemoryStream
        $process.StandardOutput.BaseStream.CopyTo($bytes)
        $process.WaitForExit()
        $lines = $Encoding.GetString($bytes.ToArray()).Split([string[]]@("`r`n"), [StringSplitOptions]::RemoveEmptyEntries)
        New-Object PSObject -Property @{ Status = $process.ExitCode; Lines = $lines }
    } finally {
        $process.Dispose()
    }
}

# The endpoints QuorvaneList.exe lists for these arguments, in its order; or an
# error record when it could not list them.
function Get-Listing([string[]]$Arguments) {
    $run = Invoke-QuorvaneProgram 'QuorvaneList.exe' (@('-utf8') + $Arguments) $script:Utf8
    if ($run -is [Management.Automation.ErrorRecord]) {
        return $run
    }
    if ($run.Status -eq 1) {
        return New-QuorvaneError 'QuorvaneList.exe does not know -utf8: install the QuorvaneList.exe of the same release as this module.' InvalidOperation ListerTooOld $null
    }
    if ($run.Status -ne 0) {
        return New-QuorvaneError "QuorvaneList.exe could not list the endpoints (status $($run.Status)): $($run.Lines -join ' ')" ResourceUnavailable ListingFailed $null
    }
    $endpoints = @(foreach ($line in $run.Lines) {
        $fields = $line.Split([char[]]@("`t"), 4)
        [pscustomobject]@{
            PSTypeName = 'Quorvane.Endpoint'
            Flow = $script:FlowLabels[$fields[0]]
            State = $fields[1]
            Id = $fields[2]
            Name = $fields[3]
        }
    })
    # The whole list as one object, so that an empty one survives the return.
    , $endpoints
}

# Whether $Name holds $Substring as Quorvane matches: the same UTF-16 units in a
# row, case-sensitively, with no normalisation.
function Test-Selects([string]$Name, [string]$Substring) {
    $Name.IndexOf($Substring, [StringComparison]::Ordinal) -ge 0
}

# Runs Quorvane.exe once for $Selected, the endpoints its listing says the
# substring selects, in the listing's order, and writes an error for each that
# Windows refused. Quorvane names no endpoint in a failure line, but it reports
# the endpoints it selects one line each, in the same order as the listing, so
# the lines are matched to the endpoints by their place. Returns the ids changed.
function Invoke-Change($Command, [bool]$Visible, [string]$Flow, [string]$Substring, [object[]]$Selected) {
    $action = if ($Visible) { 'enable' } else { 'disable' }
    $run = Invoke-QuorvaneProgram 'Quorvane.exe' @($action, $Flow, $Substring) $script:Latin1
    if ($run -is [Management.Automation.ErrorRecord]) {
        $Command.WriteError($run)
        return
    }
    foreach ($line in $run.Lines) {
        $Command.WriteVerbose("Quorvane.exe: $line")
    }
    $perEndpoint = @($run.Lines | Where-Object {
        $_ -match '^(Playback|Recording): .* -> (ENABLED|DISABLED)$' -or
        $_ -match '^(PolicyConfig CoCreateInstance|SetEndpointVisibility) failed \(hr=0x[0-9A-F]{8}\)$'
    })
    if ($run.Status -ne 0 -and $run.Status -ne 2) {
        $Command.WriteError((New-QuorvaneError "Quorvane.exe failed (status $($run.Status)): $($run.Lines -join ' ')" InvalidResult ChangeFailed $Substring))
        return
    }
    if ($perEndpoint.Count -eq 0) {
        # Nothing selected, or the run could not ask Windows at all.
        $setup = @($run.Lines | Where-Object { $_ -match 'failed \(hr=0x[0-9A-F]{8}\)$' })
        if ($setup.Count -gt 0) {
            $Command.WriteError((New-QuorvaneError "Quorvane.exe could not ask Windows: $($setup -join ' ')" ResourceUnavailable SetupFailed $Substring))
        } else {
            $Command.WriteError((New-QuorvaneError "No $Flow endpoint's name contains `"$Substring`" any longer." ObjectNotFound NoEndpointMatched $Substring))
        }
        return
    }
    $verb = if ($Visible) { 'show' } else { 'hide' }
    for ($index = 0; $index -lt $perEndpoint.Count; $index++) {
        $endpoint = if ($perEndpoint.Count -eq $Selected.Count) { $Selected[$index] } else { $null }
        $said = if ($endpoint) { "'$($endpoint.Name)' ($($endpoint.Id))" } else { "an endpoint that `"$Substring`" selects" }
        if ($perEndpoint[$index] -match '\(hr=0x([0-9A-F]{8})\)$') {
            $status = $Matches[1]
            $message = "Could not $verb $said`: $($perEndpoint[$index])."
            $category = 'InvalidResult'
            if ($status -eq '80070005') {
                $message += ' Windows refused this account: run PowerShell elevated (as administrator), or as SYSTEM.'
                $category = 'PermissionDenied'
            }
            $Command.WriteError((New-QuorvaneError $message $category ChangeRefused $endpoint))
        } elseif ($endpoint) {
            $endpoint.Id
        }
    }
}

# The flow's listing, asked once per command and kept in $Cache.
function Get-CachedListing([hashtable]$Cache, [string]$Flow) {
    if (-not $Cache.ContainsKey($Flow)) {
        $Cache[$Flow] = Get-Listing @($Flow)
    }
    , $Cache[$Flow]
}

# What Hide-QuorvaneEndpoint and Show-QuorvaneEndpoint share: the command's own
# $PSCmdlet, its bound parameters and the state it keeps from one pipeline
# object to the next.
function Set-Visibility($Command, [hashtable]$Bound, [bool]$Visible, [hashtable]$State) {
    $verb = if ($Visible) { 'Show' } else { 'Hide' }
    $flow = $Bound['Flow'].ToLowerInvariant()
    if ($Command.ParameterSetName -eq 'BySubstring') {
        $substring = $Bound['NameSubstring']
        if ($substring -eq '' -and -not $Bound['Force']) {
            $Command.WriteError((New-QuorvaneError "An empty substring selects every $flow endpoint. To $($verb.ToLowerInvariant()) them all, add -Force." InvalidArgument EmptySubstringRefused $substring))
            return
        }
        $selected = Get-Listing @($flow, $substring)
        if ($selected -is [Management.Automation.ErrorRecord]) {
            $Command.WriteError($selected)
            return
        }
        if ($selected.Count -eq 0) {
            $Command.WriteError((New-QuorvaneError "No $flow endpoint's name contains `"$substring`"." ObjectNotFound NoEndpointMatched $substring))
            return
        }
        # Quorvane changes every endpoint the substring selects in one run, so
        # either all are confirmed or none is changed.
        $confirmed = @($selected | Where-Object { $Command.ShouldProcess("$($_.Name) ($($_.Id))", "$verb endpoint") })
        if ($confirmed.Count -eq 0) {
            return
        }
        if ($confirmed.Count -lt $selected.Count) {
            $Command.WriteError((New-QuorvaneError "Nothing changed: `"$substring`" selects $($selected.Count) endpoints, which Quorvane changes together, and $($selected.Count - $confirmed.Count) were declined. Pipe the ones to change from Get-QuorvaneEndpoint instead." OperationStopped PartlyDeclined $substring))
            return
        }
        foreach ($id in @(Invoke-Change $Command $Visible $flow $substring $selected)) { [void]$State.Changed.Add($id) }
        return
    }

    # A piped endpoint: its whole name goes to Quorvane only when that name, in
    # the flow's listing, selects it alone.
    $id = $Bound['Id']
    $name = $Bound['Name']
    $listing = Get-CachedListing $State.Listings $flow
    if ($listing -is [Management.Automation.ErrorRecord]) {
        $Command.WriteError($listing)
        return
    }
    $current = @($listing | Where-Object { $_.Id -ceq $id })
    if ($current.Count -eq 0) {
        $Command.WriteError((New-QuorvaneError "There is no $flow endpoint $id any longer." ObjectNotFound EndpointGone $id))
        return
    }
    if ([string]::IsNullOrEmpty($name) -or [string]::IsNullOrEmpty($current[0].Name)) {
        $Command.WriteError((New-QuorvaneError "Endpoint $id has no name to select it by." InvalidArgument EndpointNameless $id))
        return
    }
    if ($current[0].Name -cne $name) {
        $Command.WriteError((New-QuorvaneError "Endpoint $id is now named '$($current[0].Name)', not '$name'; list it again." InvalidData EndpointRenamed $id))
        return
    }
    $others = @($listing | Where-Object { $_.Id -cne $id -and (Test-Selects $_.Name $name) })
    if ($others.Count -gt 0) {
        $Command.WriteError((New-QuorvaneError "Not changed: the name '$name' would also select $(@($others | ForEach-Object { $_.Id }) -join ', '), and Quorvane changes every endpoint whose name contains it." InvalidOperation NameNotExact $id))
        return
    }
    if ($Command.ShouldProcess("$name ($id)", "$verb endpoint")) {
        foreach ($changed in @(Invoke-Change $Command $Visible $flow $name @($current[0]))) { [void]$State.Changed.Add($changed) }
    }
}

# With -PassThru: the endpoints changed, as one more listing shows them now.
function Write-Changed($Command, [hashtable]$State) {
    if ($State.Changed.Count -eq 0) {
        return
    }
    $listing = Get-Listing @()
    if ($listing -is [Management.Automation.ErrorRecord]) {
        $Command.WriteError($listing)
        return
    }
    foreach ($endpoint in $listing) {
        if ($State.Changed.Contains($endpoint.Id)) {
            $Command.WriteObject($endpoint)
        }
    }
}

function New-CommandState {
    @{ Listings = @{}; Changed = New-Object 'Collections.Generic.HashSet[string]' ([StringComparer]::Ordinal) }
}

<#
.SYNOPSIS
Lists audio endpoints as Quorvane sees them: every playback and recording
device, hidden ones included.

.DESCRIPTION
Runs QuorvaneList.exe from the module's folder and returns one
Quorvane.Endpoint object per endpoint, in the order Windows lists them, with
its Flow (render or capture), State (active, disabled for a hidden endpoint,
notpresent, unplugged or unknown), Id and friendly Name, every character
whole. With -NameSubstring, exactly the endpoints that Hide-QuorvaneEndpoint
and Show-QuorvaneEndpoint (and Quorvane.exe) would change with that substring.

.PARAMETER Flow
render for playback endpoints, capture for recording endpoints. Without it,
both, playback first.

.PARAMETER NameSubstring
A piece of the friendly name, matched exactly and case-sensitively. Tab
completes the names of the flow typed so far.

.EXAMPLE
Get-QuorvaneEndpoint render

Lists every playback endpoint with its state.

.EXAMPLE
Get-QuorvaneEndpoint capture 'USB' | Where-Object State -eq 'active'

The recording endpoints whose name contains USB that are shown and plugged in.

.OUTPUTS
Quorvane.Endpoint
#>
function Get-QuorvaneEndpoint {
    [CmdletBinding()]
    [OutputType('Quorvane.Endpoint')]
    param(
        [Parameter(Position = 0)]
        [ValidateSet('render', 'capture')]
        [string]$Flow,

        [Parameter(Position = 1)]
        [AllowEmptyString()]
        [string]$NameSubstring
    )
    # One listing: QuorvaneList.exe takes a substring only after a flow.
    $asked = @()
    if ($PSBoundParameters.ContainsKey('NameSubstring')) {
        foreach ($each in $(if ($Flow) { @($Flow) } else { @('render', 'capture') })) {
            $asked += , @($each.ToLowerInvariant(), $NameSubstring)
        }
    } elseif ($Flow) {
        $asked += , @($Flow.ToLowerInvariant())
    } else {
        $asked += , @()
    }
    foreach ($arguments in $asked) {
        $listing = Get-Listing $arguments
        if ($listing -is [Management.Automation.ErrorRecord]) {
            $PSCmdlet.WriteError($listing)
            continue
        }
        $listing
    }
}

<#
.SYNOPSIS
Hides audio endpoints: Windows stops offering them to applications.

.DESCRIPTION
Hides, with Quorvane.exe from the module's folder, either every endpoint of a
flow whose friendly name contains -NameSubstring (as Quorvane.exe does), or
each endpoint piped in, alone. A piped endpoint (an object with Flow, Id and
Name, from Get-QuorvaneEndpoint or Import-Csv) is changed only when its whole
name, in a fresh listing, selects no other endpoint of its flow; otherwise an
error names the other endpoints' ids and nothing changes for it. An endpoint
that appears between that listing and the change cannot be excluded.

Each endpoint that could not be hidden is an error of its own; an access-denied
refusal says to run elevated. Quorvane's own lines are written to the verbose
stream. Hiding the default endpoint makes Windows pick another.

.PARAMETER Flow
render for playback endpoints, capture for recording endpoints.

.PARAMETER NameSubstring
A piece of the friendly name, matched exactly and case-sensitively; every
endpoint of the flow whose name contains it is hidden. An empty substring
selects them all and needs -Force.

.PARAMETER Id
A piped endpoint's id (bound from the Id property).

.PARAMETER Name
A piped endpoint's friendly name (bound from the Name property).

.PARAMETER Force
Allows an empty substring, which hides every endpoint of the flow.

.PARAMETER PassThru
Writes the endpoints hidden, as a listing shows them after the change.

.EXAMPLE
Hide-QuorvaneEndpoint render 'NVIDIA High Definition Audio' -WhatIf

Shows which playback endpoints would be hidden, and hides none.

.EXAMPLE
Get-QuorvaneEndpoint render 'LG ULTRAGEAR' | Hide-QuorvaneEndpoint -PassThru

Hides that endpoint alone and writes it, now disabled.

.EXAMPLE
Import-Csv .\hide.csv | Hide-QuorvaneEndpoint -Confirm

Asks before hiding each endpoint the file names by Flow, Id and Name.
#>
function Hide-QuorvaneEndpoint {
    [CmdletBinding(SupportsShouldProcess = $true, DefaultParameterSetName = 'BySubstring')]
    [OutputType('Quorvane.Endpoint')]
    param(
        [Parameter(Mandatory = $true, Position = 0, ParameterSetName = 'BySubstring')]
        [Parameter(Mandatory = $true, ValueFromPipelineByPropertyName = $true, ParameterSetName = 'ByEndpoint')]
        [ValidateSet('render', 'capture')]
        [string]$Flow,

        [Parameter(Mandatory = $true, Position = 1, ParameterSetName = 'BySubstring')]
        [AllowEmptyString()]
        [string]$NameSubstring,

        [Parameter(Mandatory = $true, ValueFromPipelineByPropertyName = $true, ParameterSetName = 'ByEndpoint')]
        [string]$Id,

        [Parameter(ValueFromPipelineByPropertyName = $true, ParameterSetName = 'ByEndpoint')]
        [AllowEmptyString()]
        [AllowNull()]
        [string]$Name,

        [Parameter(ParameterSetName = 'BySubstring')]
        [switch]$Force,

        [switch]$PassThru
    )
    begin { $state = New-CommandState }
    process { Set-Visibility $PSCmdlet $PSBoundParameters $false $state }
    end { if ($PassThru) { Write-Changed $PSCmdlet $state } }
}

<#
.SYNOPSIS
Shows audio endpoints again that were hidden.

.DESCRIPTION
Shows, with Quorvane.exe from the module's folder, either every endpoint of a
flow whose friendly name contains -NameSubstring (as Quorvane.exe does), hidden
ones included, or each endpoint piped in, alone. A piped endpoint (an object
with Flow, Id and Name, from Get-QuorvaneEndpoint or Import-Csv) is changed only
when its whole name, in a fresh listing, selects no other endpoint of its flow;
otherwise an error names the other endpoints' ids and nothing changes for it.
An endpoint that appears between that listing and the change cannot be
excluded.

Each endpoint that could not be shown is an error of its own; an access-denied
refusal says to run elevated. Quorvane's own lines are written to the verbose
stream.

.PARAMETER Flow
render for playback endpoints, capture for recording endpoints.

.PARAMETER NameSubstring
A piece of the friendly name, matched exactly and case-sensitively; every
endpoint of the flow whose name contains it is shown. An empty substring
selects them all and needs -Force.

.PARAMETER Id
A piped endpoint's id (bound from the Id property).

.PARAMETER Name
A piped endpoint's friendly name (bound from the Name property).

.PARAMETER Force
Allows an empty substring, which shows every endpoint of the flow.

.PARAMETER PassThru
Writes the endpoints shown, as a listing shows them after the change.

.EXAMPLE
Show-QuorvaneEndpoint capture 'Line In' -WhatIf

Shows which recording endpoints would be shown again, and changes none.

.EXAMPLE
Get-QuorvaneEndpoint render | Where-Object State -eq 'disabled' | Show-QuorvaneEndpoint

Shows every hidden playback endpoint again, each alone.
#>
function Show-QuorvaneEndpoint {
    [CmdletBinding(SupportsShouldProcess = $true, DefaultParameterSetName = 'BySubstring')]
    [OutputType('Quorvane.Endpoint')]
    param(
        [Parameter(Mandatory = $true, Position = 0, ParameterSetName = 'BySubstring')]
        [Parameter(Mandatory = $true, ValueFromPipelineByPropertyName = $true, ParameterSetName = 'ByEndpoint')]
        [ValidateSet('render', 'capture')]
        [string]$Flow,

        [Parameter(Mandatory = $true, Position = 1, ParameterSetName = 'BySubstring')]
        [AllowEmptyString()]
        [string]$NameSubstring,

        [Parameter(Mandatory = $true, ValueFromPipelineByPropertyName = $true, ParameterSetName = 'ByEndpoint')]
        [string]$Id,

        [Parameter(ValueFromPipelineByPropertyName = $true, ParameterSetName = 'ByEndpoint')]
        [AllowEmptyString()]
        [AllowNull()]
        [string]$Name,

        [Parameter(ParameterSetName = 'BySubstring')]
        [switch]$Force,

        [switch]$PassThru
    )
    begin { $state = New-CommandState }
    process { Set-Visibility $PSCmdlet $PSBoundParameters $true $state }
    end { if ($PassThru) { Write-Changed $PSCmdlet $state } }
}

# -NameSubstring completes the friendly names of the flow typed so far (render
# when none), each quoted so that PowerShell reads back exactly that name: the
# escape doubles every character PowerShell takes for a single quote, U+2018 to
# U+201B included. A completer runs in the caller's session, so it calls only
# what the module exports.
Register-ArgumentCompleter -CommandName Get-QuorvaneEndpoint, Hide-QuorvaneEndpoint, Show-QuorvaneEndpoint `
    -ParameterName NameSubstring -ScriptBlock {
    param($CommandName, $ParameterName, $WordToComplete, $CommandAst, $FakeBoundParameters)
    $flow = if ($FakeBoundParameters.Contains('Flow')) { $FakeBoundParameters['Flow'] } else { 'render' }
    $typed = $WordToComplete -replace "^['`"\u2018-\u201B]", '' -replace "['`"\u2018-\u201B]$", ''
    $seen = New-Object 'Collections.Generic.HashSet[string]' ([StringComparer]::Ordinal)
    foreach ($endpoint in @(Quorvane\Get-QuorvaneEndpoint -Flow $flow -ErrorAction Ignore)) {
        $name = $endpoint.Name
        if ($name -and $name.IndexOf($typed, [StringComparison]::OrdinalIgnoreCase) -ge 0 -and $seen.Add($name)) {
            $quoted = "'" + [Management.Automation.Language.CodeGeneration]::EscapeSingleQuotedStringContent($name) + "'"
            New-Object Management.Automation.CompletionResult ($quoted, $name, 'ParameterValue', "$($endpoint.State): $name")
        }
    }
}

Export-ModuleMember -Function Get-QuorvaneEndpoint, Hide-QuorvaneEndpoint, Show-QuorvaneEndpoint
