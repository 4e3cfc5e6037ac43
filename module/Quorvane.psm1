# The Quorvane module: audio endpoints as objects, over the programs in this
# module's own folder. It makes no Windows audio calls of its own: every
# listing is QuorvaneList.exe's, every change by substring Quorvane.exe's and
# every change of endpoints named by id QuorvaneId.exe's, so the module selects
# exactly what the programs do.
#
# Private helpers throw an error record when they cannot go on; each public
# command catches it once and writes it as its own.

Set-StrictMode -Version 2.0

# Quorvane.exe and QuorvaneId.exe print each character of a name up to U+00FF
# as one byte of that value and anything above as '?'; QuorvaneList.exe -utf8
# prints UTF-8. The module reads the bytes itself, so neither depends on the
# console's encoding; the names it shows are always the listing's, whole.
$script:Latin1 = [Text.Encoding]::GetEncoding(28591)
$script:Utf8 = New-Object Text.UTF8Encoding($false)
$script:FlowLabels = @{ 'Playback' = 'render'; 'Recording' = 'capture' }
# A change line of Quorvane.exe and QuorvaneId.exe alike.
$script:ChangeLine = '^(Playback|Recording): .* -> (ENABLED|DISABLED)$'
# Windows takes at most 32,767 characters of command line; the ids of one run
# stay well within it, and a longer list is changed in as many runs as it takes.
$script:CommandLineBudget = 30000

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

# Throws unless every program named is in the module's folder, so that a
# command stops before it asks or previews anything it could not carry out.
function Assert-QuorvaneProgram([string[]]$Program) {
    foreach ($each in $Program) {
        $path = Join-Path $PSScriptRoot $each
        if (-not (Test-Path -LiteralPath $path -PathType Leaf)) {
            throw (New-QuorvaneError "$each is not in $PSScriptRoot, the Quorvane module's folder." ObjectNotFound ProgramMissing $path)
        }
    }
}

# Runs one of the programs with the arguments given and returns its status and
# its output lines, decoded as $Encoding; throws when it cannot start (blocked
# by application control, say).
function Invoke-QuorvaneProgram([string]$Program, [string[]]$Arguments, [Text.Encoding]$Encoding) {
    $path = Join-Path $PSScriptRoot $Program
    $start = New-Object Diagnostics.ProcessStartInfo
    $start.FileName = $path
    $start.Arguments = (@(foreach ($argument in $Arguments) { ConvertTo-CommandLineArgument $argument }) -join ' ')
    $start.UseShellExecute = $false
    $start.CreateNoWindow = $true
    $start.RedirectStandardOutput = $true
    $process = New-Object Diagnostics.Process
    $process.StartInfo = $start
    try {
        try {
            [void]$process.Start()
        } catch {
            throw (New-QuorvaneError "$Program could not start: $($_.Exception.GetBaseException().Message)" ResourceUnavailable ProgramNotStarted $path)
        }
        $bytes = New-Object IO.MemoryStream
        $process.StandardOutput.BaseStream.CopyTo($bytes)
        $process.WaitForExit()
        $lines = $Encoding.GetString($bytes.ToArray()).Split([string[]]@("`r`n"), [StringSplitOptions]::RemoveEmptyEntries)
        New-Object PSObject -Property @{ Status = $process.ExitCode; Lines = $lines }
    } finally {
        $process.Dispose()
    }
}

# The endpoints QuorvaneList.exe lists for these arguments, in its order, as
# one array (so that an empty one survives the return); throws when it could
# not list them.
function Get-Listing([string[]]$Arguments) {
    $run = Invoke-QuorvaneProgram 'QuorvaneList.exe' (@('-utf8') + $Arguments) $script:Utf8
    if ($run.Status -eq 1) {
        throw (New-QuorvaneError 'QuorvaneList.exe does not know -utf8: install the QuorvaneList.exe of the same release as this module.' InvalidOperation ListerTooOld $null)
    }
    if ($run.Status -ne 0) {
        throw (New-QuorvaneError "QuorvaneList.exe could not list the endpoints (status $($run.Status)): $($run.Lines -join ' ')" ResourceUnavailable ListingFailed $null)
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
    , $endpoints
}

# How an endpoint is named in questions, previews and messages.
function Format-Endpoint($Endpoint) {
    "'$($Endpoint.Name)' ($($Endpoint.Id))"
}

# Matches the lines of one change run to the endpoints it was asked to change,
# one for one and in order: for each endpoint an outcome with its error record,
# or none when it was changed. $Lines must hold one line for each endpoint.
function ConvertTo-Outcome([object[]]$Endpoints, [string[]]$Lines, [bool]$Visible) {
    $verb = if ($Visible) { 'show' } else { 'hide' }
    for ($index = 0; $index -lt $Endpoints.Count; $index++) {
        $endpoint = $Endpoints[$index]
        $line = $Lines[$index]
        $failure = $null
        if ($line -match $script:ChangeLine) {
            # Changed.
        } elseif ($line -match '^No endpoint has id ') {
            $failure = New-QuorvaneError "Could not $verb $(Format-Endpoint $endpoint): it is no endpoint any longer." ObjectNotFound EndpointGone $endpoint
        } elseif ($line -match '\(hr=0x([0-9A-F]{8})\)$') {
            $message = "Could not $verb $(Format-Endpoint $endpoint): $line."
            $category = 'InvalidResult'
            if ($Matches[1] -eq '80070005') {
                $message += ' Windows refused this account: run PowerShell elevated (as administrator), or as SYSTEM.'
                $category = 'PermissionDenied'
            }
            $failure = New-QuorvaneError $message $category ChangeRefused $endpoint
        } else {
            $failure = New-QuorvaneError "Could not tell whether $(Format-Endpoint $endpoint) was changed: the program said '$line'." InvalidResult ChangeUnclear $endpoint
        }
        New-Object PSObject -Property @{ Endpoint = $endpoint; Error = $failure }
    }
}

# The lines of a change run that each stand for one endpoint: its change or
# the failure of its policy object or of the change itself.
function Select-EndpointLine([string[]]$Lines) {
    @($Lines | Where-Object {
        $_ -match $script:ChangeLine -or
        $_ -match '^(PolicyConfig CoCreateInstance|SetEndpointVisibility) failed \(hr=0x[0-9A-F]{8}\)$' -or
        $_ -match '^No endpoint has id "'
    })
}

# Throws when a change run could not ask Windows at all (its set-up failed, so
# it printed only that line), or ended in a way no run of its ends.
function Assert-ChangeRun([string]$Program, $Run, [int]$Expected) {
    if ($Run.Status -ne 0 -and $Run.Status -ne 2) {
        throw (New-QuorvaneError "$Program failed (status $($Run.Status)): $($Run.Lines -join ' ')" InvalidResult ChangeFailed $null)
    }
    $perEndpoint = @(Select-EndpointLine $Run.Lines)
    if ($perEndpoint.Count -eq 0 -and $Expected -gt 0) {
        $setup = @($Run.Lines | Where-Object { $_ -match 'failed \(hr=0x[0-9A-F]{8}\)$' })
        if ($setup.Count -gt 0) {
            throw (New-QuorvaneError "$Program could not ask Windows, so this run changed nothing: $($setup -join ' ')" ResourceUnavailable SetupFailed $null)
        }
    }
}

# The endpoints to change by id, split into as few batches as the command line
# allows: one, short of hundreds of endpoints.
function Split-IdBatch([object[]]$Endpoints) {
    $batch = @()
    $length = 0
    foreach ($endpoint in $Endpoints) {
        $cost = $endpoint.Id.Length + 3
        if ($batch.Count -gt 0 -and $length + $cost -gt $script:CommandLineBudget) {
            , $batch
            $batch = @()
            $length = 0
        }
        $batch += $endpoint
        $length += $cost
    }
    if ($batch.Count -gt 0) {
        , $batch
    }
}

# Changes the endpoints of one batch, each by its id, with one QuorvaneId.exe
# run, and returns an outcome for each, in order.
function Invoke-IdChange([object[]]$Endpoints, [bool]$Visible) {
    $action = if ($Visible) { 'enable' } else { 'disable' }
    $run = Invoke-QuorvaneProgram 'QuorvaneId.exe' (@($action) + @($Endpoints | ForEach-Object { $_.Id })) $script:Latin1
    Assert-ChangeRun 'QuorvaneId.exe' $run $Endpoints.Count
    $lines = @(Select-EndpointLine $run.Lines)
    if ($lines.Count -ne $Endpoints.Count) {
        throw (New-QuorvaneError "QuorvaneId.exe answered $($lines.Count) lines for $($Endpoints.Count) ids, so no endpoint can be told changed: $($run.Lines -join ' ')" InvalidResult ChangeUnclear $null)
    }
    ConvertTo-Outcome $Endpoints $lines $Visible
}

# Changes with one Quorvane.exe run every endpoint of the flow whose name
# contains the substring; $Selected is what the listing said it selects, in
# the listing's order. Quorvane names no endpoint in a failure line, but it
# reports those it selects one line each, in the same order, so the lines are
# matched to the endpoints by their place; when their number differs, the
# selection changed between the listing and the run, and each line is an
# error of its own, for an endpoint that cannot be named.
function Invoke-SubstringChange([string]$Flow, [string]$Substring, [object[]]$Selected, [bool]$Visible) {
    $action = if ($Visible) { 'enable' } else { 'disable' }
    $run = Invoke-QuorvaneProgram 'Quorvane.exe' @($action, $Flow, $Substring) $script:Latin1
    Assert-ChangeRun 'Quorvane.exe' $run $Selected.Count
    $lines = @(Select-EndpointLine $run.Lines)
    if ($lines.Count -eq 0) {
        throw (New-QuorvaneError "No $Flow endpoint's name contains `"$Substring`" any longer." ObjectNotFound NoEndpointMatched $Substring)
    }
    if ($lines.Count -eq $Selected.Count) {
        ConvertTo-Outcome $Selected $lines $Visible
        return
    }
    $verb = if ($Visible) { 'show' } else { 'hide' }
    foreach ($line in $lines) {
        $said = "an endpoint that `"$Substring`" selected, of $($lines.Count) where the listing had $($Selected.Count)"
        $failure = if ($line -match '\(hr=0x[0-9A-F]{8}\)$') {
            New-QuorvaneError "Could not $verb $said`: $line." InvalidResult ChangeRefused $Substring
        } else {
            New-QuorvaneError "Changed $said, which cannot be named: $line" InvalidResult SelectionChanged $Substring
        }
        New-Object PSObject -Property @{ Endpoint = $null; Error = $failure }
    }
}

# Writes what a change came to: each failure as an error of the command's own,
# each endpoint changed to the verbose stream, named whole from the listing;
# returns the ids changed.
function Write-Outcome($Command, [object[]]$Outcomes, [bool]$Visible) {
    $done = if ($Visible) { 'Showed' } else { 'Hid' }
    foreach ($outcome in $Outcomes) {
        if ($outcome.Error) {
            $Command.WriteError($outcome.Error)
        } elseif ($outcome.Endpoint) {
            $Command.WriteVerbose("$done $(Format-Endpoint $outcome.Endpoint).")
            $outcome.Endpoint.Id
        }
    }
}

# With -PassThru: the endpoints changed, as one more listing shows them now.
function Write-Changed($Command, [string[]]$Ids) {
    if ($Ids.Count -eq 0) {
        return
    }
    $changed = New-Object 'Collections.Generic.HashSet[string]' ([StringComparer]::Ordinal)
    foreach ($id in $Ids) { [void]$changed.Add($id) }
    foreach ($endpoint in (Get-Listing @())) {
        if ($changed.Contains($endpoint.Id)) {
            $Command.WriteObject($endpoint)
        }
    }
}

# A substring by which Quorvane.exe changes every endpoint it selects, in one
# run: previewed one line per endpoint, confirmed by one question for all.
function Set-VisibilityBySubstring($Command, [hashtable]$Bound, [bool]$Visible) {
    $verb = if ($Visible) { 'Show' } else { 'Hide' }
    $flow = $Bound['Flow'].ToLowerInvariant()
    $substring = $Bound['NameSubstring']
    if ($substring -eq '' -and -not $Bound['Force']) {
        throw (New-QuorvaneError "An empty substring selects every $flow endpoint. To $($verb.ToLowerInvariant()) them all, add -Force." InvalidArgument EmptySubstringRefused $substring)
    }
    $selected = Get-Listing @($flow, $substring)
    if ($selected.Count -eq 0) {
        $message = "No $flow endpoint's name contains `"$substring`"."
        # Quorvane matches letter case exactly; a near miss is worth naming.
        $near = @((Get-Listing @($flow)) | Where-Object {
            $_.Name -and $_.Name.IndexOf($substring, [StringComparison]::OrdinalIgnoreCase) -ge 0 })
        if ($near.Count -gt 0) {
            $message += " In another letter case it is part of $(@($near | ForEach-Object { "'$($_.Name)'" }) -join ', '); the match is exact."
        }
        throw (New-QuorvaneError $message ObjectNotFound NoEndpointMatched $substring)
    }
    if ($WhatIfPreference) {
        foreach ($endpoint in $selected) { [void]$Command.ShouldProcess((Format-Endpoint $endpoint), "$verb endpoint") }
        return
    }
    $names = @($selected | ForEach-Object { Format-Endpoint $_ }) -join ', '
    $count = if ($selected.Count -eq 1) { 'the endpoint' } else { "all $($selected.Count) endpoints" }
    $question = "Are you sure you want to $($verb.ToLowerInvariant()) $count that `"$substring`" selects, together? $names"
    if (-not $Command.ShouldProcess("$verb endpoint: $names", $question, 'Confirm')) {
        return
    }
    Write-Outcome $Command @(Invoke-SubstringChange $flow $substring $selected $Visible) $Visible
}

# One piped endpoint (or -Flow with -Id): found in the command's one listing
# by its id, confirmed alone, and kept for the command's one change run.
function Add-PipedEndpoint($Command, [hashtable]$Bound, [bool]$Visible, [hashtable]$State) {
    $verb = if ($Visible) { 'Show' } else { 'Hide' }
    $flow = $Bound['Flow'].ToLowerInvariant()
    $id = $Bound['Id']
    $saved = if ($Bound['Name']) { " ('$($Bound['Name'])')" } else { '' }
    if ($State.ListingFailed) {
        return   # said once, for the first endpoint: nothing can be found without it
    }
    if ($null -eq $State.Listing) {
        try {
            $State.Listing = Get-Listing @()
        } catch {
            $State.ListingFailed = $true
            throw
        }
    }
    $current = @($State.Listing | Where-Object { $_.Id -ceq $id })
    if ($current.Count -eq 0) {
        throw (New-QuorvaneError "There is no endpoint $id$saved any longer. A driver update or a reinstall gives an endpoint a new id: list the endpoints again." ObjectNotFound EndpointGone $id)
    }
    if ($current[0].Flow -ne $flow) {
        throw (New-QuorvaneError "Endpoint $id$saved is a $($current[0].Flow) endpoint, not $flow." InvalidArgument EndpointOfOtherFlow $id)
    }
    if ($Command.ShouldProcess((Format-Endpoint $current[0]), "$verb endpoint")) {
        $State.Confirmed += $current[0]
    }
}

function New-CommandState {
    @{ Listing = $null; ListingFailed = $false; Confirmed = @(); Changed = @() }
}

# The parameters of one pipeline object as the command's own variables hold
# them: unlike $PSBoundParameters, they do not keep a value that an earlier
# object bound and this one lacks.
function Get-BoundParameter([string]$Flow, [string]$NameSubstring, [string]$Id, [string]$Name, [bool]$Force) {
    @{ Flow = $Flow; NameSubstring = $NameSubstring; Id = $Id; Name = $Name; Force = $Force }
}

# What Hide-QuorvaneEndpoint and Show-QuorvaneEndpoint do in their blocks, with
# the command's own $PSCmdlet and the state kept from one block to the next.
function Invoke-BeginVisibility {
    Assert-QuorvaneProgram 'QuorvaneList.exe', 'Quorvane.exe', 'QuorvaneId.exe'
}

function Invoke-ProcessVisibility($Command, [hashtable]$Bound, [bool]$Visible, [hashtable]$State) {
    if ($Command.ParameterSetName -eq 'BySubstring') {
        $State.Changed += @(Set-VisibilityBySubstring $Command $Bound $Visible)
    } else {
        Add-PipedEndpoint $Command $Bound $Visible $State
    }
}

function Invoke-EndVisibility($Command, [bool]$Visible, [bool]$PassThru, [hashtable]$State) {
    # A run that fails is that run's error alone: the runs before it changed
    # what they say, and the runs after it still go.
    foreach ($batch in @(Split-IdBatch $State.Confirmed)) {
        try {
            $State.Changed += @(Write-Outcome $Command @(Invoke-IdChange $batch $Visible) $Visible)
        } catch {
            $Command.WriteError($_)
        }
    }
    if ($PassThru) {
        Write-Changed $Command $State.Changed
    }
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

The objects carry what Hide-QuorvaneEndpoint and Show-QuorvaneEndpoint take
from the pipeline, so a saved list (Export-Csv) restores each endpoint by its
id: see the examples.

.PARAMETER Flow
render for playback endpoints, capture for recording endpoints. Without it,
both, playback first.

.PARAMETER NameSubstring
A piece of the friendly name, matched exactly and case-sensitively. Tab
completes the names of the flow typed so far, or of both flows.

.EXAMPLE
Get-QuorvaneEndpoint render

Lists every playback endpoint with its state.

.EXAMPLE
Get-QuorvaneEndpoint capture 'USB' | Where-Object State -eq 'active'

The recording endpoints whose name contains USB that are shown and plugged in.

.EXAMPLE
Get-QuorvaneEndpoint | Export-Csv -Path .\endpoints.csv -NoTypeInformation

Saves every endpoint with its state, to restore later with Import-Csv and
Hide-QuorvaneEndpoint and Show-QuorvaneEndpoint.

.INPUTS
None. The command takes nothing from the pipeline.

.OUTPUTS
Quorvane.Endpoint

.LINK
Hide-QuorvaneEndpoint

.LINK
Show-QuorvaneEndpoint
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
    try {
        Assert-QuorvaneProgram 'QuorvaneList.exe'
    } catch {
        $PSCmdlet.ThrowTerminatingError($_)
    }
    # QuorvaneList.exe takes a substring only after a flow.
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
        try {
            $PSCmdlet.WriteObject((Get-Listing $arguments), $true)
        } catch {
            $PSCmdlet.WriteError($_)
        }
    }
}

<#
.SYNOPSIS
Hides audio endpoints: Windows stops offering them to applications.

.DESCRIPTION
Hides either every endpoint of a flow whose friendly name contains
-NameSubstring, with Quorvane.exe from the module's folder, or each endpoint
piped in (an object with Flow and Id, from Get-QuorvaneEndpoint or Import-Csv),
or named by -Flow and -Id, with QuorvaneId.exe: exactly that endpoint, whatever
names the others have.

A piped endpoint is found by its id in one listing of the command's own, which
names it in -WhatIf and -Confirm and says when the id is no endpoint's any
longer (a driver update gives an endpoint a new id) or one of the other flow.
Those confirmed are then hidden by one QuorvaneId.exe run, at the end of the
pipeline.

A substring is different: one Quorvane.exe run hides every endpoint it
selects, together, so -Confirm asks one question that names them all, and an
endpoint that appears between the listing and the run with a name that
contains the substring is hidden too. To answer for each endpoint, or to hide
one of several that share a name, pipe the endpoints instead.

Each endpoint that could not be hidden is an error of its own; an access-denied
refusal says to run elevated. Each endpoint hidden is named whole on the
verbose stream. Hiding the default endpoint can make Windows pick another.

.PARAMETER Flow
render for playback endpoints, capture for recording endpoints.

.PARAMETER NameSubstring
A piece of the friendly name, matched exactly and case-sensitively; every
endpoint of the flow whose name contains it is hidden. An empty substring
selects them all and needs -Force.

.PARAMETER Id
The endpoint's id, as Get-QuorvaneEndpoint gives it (bound from the Id
property); it alone selects the endpoint.

.PARAMETER Name
The endpoint's friendly name, as saved (bound from the Name property); it only
names the endpoint in an error when its id is gone or of the other flow.

.PARAMETER Force
Allows an empty substring, which hides every endpoint of the flow.

.PARAMETER PassThru
Writes the endpoints hidden, as a listing shows them after the change.

.EXAMPLE
Hide-QuorvaneEndpoint render 'NVIDIA High Definition Audio' -WhatIf

Shows which playback endpoints would be hidden, and hides none.

.EXAMPLE
Get-QuorvaneEndpoint render 'LG ULTRAGEAR' | Hide-QuorvaneEndpoint -PassThru

Hides those endpoints, each alone, and writes them, now disabled.

.EXAMPLE
Import-Csv .\endpoints.csv | Where-Object State -eq 'disabled' | Hide-QuorvaneEndpoint -Confirm

Asks before hiding each endpoint that the saved list has as disabled.

.INPUTS
Objects with Flow and Id properties, and optionally Name: Quorvane.Endpoint
objects from Get-QuorvaneEndpoint, or rows of Import-Csv.

.OUTPUTS
Quorvane.Endpoint, with -PassThru.

.LINK
Show-QuorvaneEndpoint

.LINK
Get-QuorvaneEndpoint
#>
function Hide-QuorvaneEndpoint {
    [CmdletBinding(SupportsShouldProcess = $true, DefaultParameterSetName = 'BySubstring')]
    [OutputType('Quorvane.Endpoint')]
    param(
        [Parameter(Mandatory = $true, Position = 0, ParameterSetName = 'BySubstring')]
        [Parameter(Mandatory = $true, ValueFromPipelineByPropertyName = $true, ParameterSetName = 'ById')]
        [ValidateSet('render', 'capture')]
        [string]$Flow,

        [Parameter(Mandatory = $true, Position = 1, ParameterSetName = 'BySubstring')]
        [AllowEmptyString()]
        [string]$NameSubstring,

        [Parameter(Mandatory = $true, ValueFromPipelineByPropertyName = $true, ParameterSetName = 'ById')]
        [string]$Id,

        [Parameter(ValueFromPipelineByPropertyName = $true, ParameterSetName = 'ById')]
        [AllowEmptyString()]
        [AllowNull()]
        [string]$Name,

        [Parameter(ParameterSetName = 'BySubstring')]
        [switch]$Force,

        [switch]$PassThru
    )
    begin {
        $state = New-CommandState
        try { Invoke-BeginVisibility } catch { $PSCmdlet.ThrowTerminatingError($_) }
    }
    process {
        $bound = Get-BoundParameter $Flow $NameSubstring $Id $Name $Force
        try { Invoke-ProcessVisibility $PSCmdlet $bound $false $state } catch { $PSCmdlet.WriteError($_) }
    }
    end {
        try { Invoke-EndVisibility $PSCmdlet $false $PassThru $state } catch { $PSCmdlet.WriteError($_) }
    }
}

<#
.SYNOPSIS
Shows audio endpoints again that were hidden.

.DESCRIPTION
Shows either every endpoint of a flow whose friendly name contains
-NameSubstring, hidden ones included, with Quorvane.exe from the module's
folder, or each endpoint piped in (an object with Flow and Id, from
Get-QuorvaneEndpoint or Import-Csv), or named by -Flow and -Id, with
QuorvaneId.exe: exactly that endpoint, whatever names the others have.

A piped endpoint is found by its id in one listing of the command's own, which
names it in -WhatIf and -Confirm and says when the id is no endpoint's any
longer (a driver update gives an endpoint a new id) or one of the other flow.
Those confirmed are then shown by one QuorvaneId.exe run, at the end of the
pipeline.

A substring is different: one Quorvane.exe run shows every endpoint it
selects, together, so -Confirm asks one question that names them all, and an
endpoint that appears between the listing and the run with a name that
contains the substring is shown too. To answer for each endpoint, or to show
one of several that share a name, pipe the endpoints instead.

Each endpoint that could not be shown is an error of its own; an access-denied
refusal says to run elevated. Each endpoint shown is named whole on the
verbose stream.

.PARAMETER Flow
render for playback endpoints, capture for recording endpoints.

.PARAMETER NameSubstring
A piece of the friendly name, matched exactly and case-sensitively; every
endpoint of the flow whose name contains it is shown. An empty substring
selects them all and needs -Force.

.PARAMETER Id
The endpoint's id, as Get-QuorvaneEndpoint gives it (bound from the Id
property); it alone selects the endpoint.

.PARAMETER Name
The endpoint's friendly name, as saved (bound from the Name property); it only
names the endpoint in an error when its id is gone or of the other flow.

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

.EXAMPLE
Import-Csv .\endpoints.csv | Where-Object State -ne 'disabled' | Show-QuorvaneEndpoint

Shows again every endpoint that the saved list has as shown.

.INPUTS
Objects with Flow and Id properties, and optionally Name: Quorvane.Endpoint
objects from Get-QuorvaneEndpoint, or rows of Import-Csv.

.OUTPUTS
Quorvane.Endpoint, with -PassThru.

.LINK
Hide-QuorvaneEndpoint

.LINK
Get-QuorvaneEndpoint
#>
function Show-QuorvaneEndpoint {
    [CmdletBinding(SupportsShouldProcess = $true, DefaultParameterSetName = 'BySubstring')]
    [OutputType('Quorvane.Endpoint')]
    param(
        [Parameter(Mandatory = $true, Position = 0, ParameterSetName = 'BySubstring')]
        [Parameter(Mandatory = $true, ValueFromPipelineByPropertyName = $true, ParameterSetName = 'ById')]
        [ValidateSet('render', 'capture')]
        [string]$Flow,

        [Parameter(Mandatory = $true, Position = 1, ParameterSetName = 'BySubstring')]
        [AllowEmptyString()]
        [string]$NameSubstring,

        [Parameter(Mandatory = $true, ValueFromPipelineByPropertyName = $true, ParameterSetName = 'ById')]
        [string]$Id,

        [Parameter(ValueFromPipelineByPropertyName = $true, ParameterSetName = 'ById')]
        [AllowEmptyString()]
        [AllowNull()]
        [string]$Name,

        [Parameter(ParameterSetName = 'BySubstring')]
        [switch]$Force,

        [switch]$PassThru
    )
    begin {
        $state = New-CommandState
        try { Invoke-BeginVisibility } catch { $PSCmdlet.ThrowTerminatingError($_) }
    }
    process {
        $bound = Get-BoundParameter $Flow $NameSubstring $Id $Name $Force
        try { Invoke-ProcessVisibility $PSCmdlet $bound $true $state } catch { $PSCmdlet.WriteError($_) }
    }
    end {
        try { Invoke-EndVisibility $PSCmdlet $true $PassThru $state } catch { $PSCmdlet.WriteError($_) }
    }
}

# -NameSubstring completes the friendly names of the flow typed so far, or of
# both flows when none is, each quoted so that PowerShell reads back exactly
# that name: the escape doubles every character PowerShell takes for a single
# quote, U+2018 to U+201B included. A completer runs in the caller's session,
# so it calls only what the module exports, and it never throws: a missing
# program or a failed listing completes nothing.
Register-ArgumentCompleter -CommandName Get-QuorvaneEndpoint, Hide-QuorvaneEndpoint, Show-QuorvaneEndpoint `
    -ParameterName NameSubstring -ScriptBlock {
    param($CommandName, $ParameterName, $WordToComplete, $CommandAst, $FakeBoundParameters)
    $typed = $WordToComplete -replace "^['`"\u2018-\u201B]", '' -replace "['`"\u2018-\u201B]$", ''
    $seen = New-Object 'Collections.Generic.HashSet[string]' ([StringComparer]::Ordinal)
    $asked = @{}
    if ($FakeBoundParameters.Contains('Flow')) { $asked['Flow'] = $FakeBoundParameters['Flow'] }
    $endpoints = @(try { Quorvane\Get-QuorvaneEndpoint @asked -ErrorAction Ignore } catch { })
    foreach ($endpoint in $endpoints) {
        $name = $endpoint.Name
        if ($name -and $name.IndexOf($typed, [StringComparison]::OrdinalIgnoreCase) -ge 0 -and $seen.Add($name)) {
            $quoted = "'" + [Management.Automation.Language.CodeGeneration]::EscapeSingleQuotedStringContent($name) + "'"
            New-Object Management.Automation.CompletionResult ($quoted, $name, 'ParameterValue', "$($endpoint.Flow), $($endpoint.State): $name")
        }
    }
}

Export-ModuleMember -Function Get-QuorvaneEndpoint, Hide-QuorvaneEndpoint, Show-QuorvaneEndpoint
