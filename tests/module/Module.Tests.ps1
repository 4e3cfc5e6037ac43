# The Quorvane module as an admin imports it: its files in a folder with the
# programs, which here are wrappers that note each start and run the real
# executables under Wine against a simulated machine (or stand-ins, where this
# machine cannot make them answer so). Run by tests/powershell_test.sh, which
# sets the environment read here.

BeforeDiscovery {
    $Passing = @('Standard', 'Legacy', 'Windows')
}

BeforeAll {
    . (Join-Path $PSScriptRoot '../TestPrograms.ps1')
    $Source = Join-Path $PSScriptRoot '../../module'
    $Machine = $env:QUORVANE_TEST_MACHINE
    $Tab = "`t"
    $Original = @(
        'endpoint render active shown {spk} Speakers (Realtek(R) Audio)'
        'endpoint render active shown {hp} Kopfhörer (NVIDIA High Definition Audio)'
        'endpoint render unplugged shown {lg} LG ULTRAGEAR (NVIDIA High Definition Audio)'
        'endpoint render active shown {cn} 扬声器 (Realtek(R) Audio)'
        'endpoint render active shown {emoji} 🎧 Headset'
        'endpoint render active shown {hs1} Headset Earphone (Jabra Evolve2 65)'
        'endpoint render active shown {hs2} Headset Earphone (Jabra Evolve2 65)'
        'endpoint render active shown {lo} Line Out'
        'endpoint render active shown {lod} Line Out (Dock)'
        'endpoint render active shown {q} Studio "A" Out\'
        'endpoint render active shown {bs} Mix\Bus \\"2\" Out'
        "endpoint render active shown {tab} Mixer${Tab}Channel 1"
        "endpoint render active shown {k} Kitchen’s Speaker (USB)"
        'endpoint capture active shown {mic} Microphone (NVIDIA High Definition Audio)'
        'endpoint capture unplugged hidden {li} Line In (Realtek(R) Audio)'
    )

    # A fresh folder with the module's files (from the source, with the
    # manifest the build made, or all from the folder $From) and the programs
    # (those not left out), the machine as given, and the module imported from
    # there. $Standin makes one program a script that prints those lines and
    # exits with that status.
    function New-ModuleFolder([string[]]$Lines = $Original, [string]$From, [string[]]$Without = @(),
                              [hashtable]$Standin = @{}) {
        Set-Content -LiteralPath $Machine -Value $Lines -Encoding utf8NoBOM
        $root = Join-Path $env:QUORVANE_TEST_WORK ([IO.Path]::GetRandomFileName())
        $folder = Join-Path $root 'Quorvane'
        New-Item -ItemType Directory -Path $folder | Out-Null
        $files = if ($From) { Join-Path $From 'Quorvane.ps*1' } else { (Join-Path $Source 'Quorvane.psm1'), (Join-Path $env:QUORVANE_TEST_BUILD 'Quorvane.psd1') }
        Copy-Item (@($files) + (Join-Path $(if ($From) { $From } else { $Source }) 'Quorvane.format.ps1xml')) $folder
        $calls = Join-Path $root 'calls.txt'
        Install-TestPrograms $folder $calls $Standin $Without
        Import-Module (Join-Path $folder 'Quorvane.psd1') -Force
        return @{ Folder = $folder; Calls = $calls }
    }

    function Get-Starts($Deployment) {
        if (Test-Path -LiteralPath $Deployment.Calls) { @(Get-Content -LiteralPath $Deployment.Calls) } else { @() }
    }
    function Get-HiddenIds {
        @(Get-Content -LiteralPath $Machine -Encoding utf8 | Where-Object { $_ -match '^endpoint \w+ \w+ hidden (\S+)' } |
            ForEach-Object { $Matches[1] })
    }
    # Runs a script in a child PowerShell with the module imported and the
    # lines of $Answers as the console's input: what only a host shows
    # (-WhatIf's lines, -Confirm's questions).
    function Invoke-InHost($Deployment, [string]$Script, [string[]]$Answers = @()) {
        $command = "Import-Module '$($Deployment.Folder)/Quorvane.psd1'; $Script"
        @($Answers | & $env:QUORVANE_TEST_PWSH -NoProfile -Command $command 2>&1 | ForEach-Object { "$_" })
    }
    # The error records a command writes, as its caller's error stream holds them.
    function Get-Errors([scriptblock]$Block) {
        @(& $Block 2>&1 | Where-Object { $_ -is [Management.Automation.ErrorRecord] })
    }
    function Get-Endpoint([string]$Id) { Get-QuorvaneEndpoint | Where-Object Id -ceq $Id }
}

Describe 'Get-QuorvaneEndpoint' {
    BeforeAll { $deployment = New-ModuleFolder }

    It 'gives <Case> with <Starts> listing(s)' -ForEach @(
        @{ Case = 'every endpoint, playback first'; Arguments = @{}; Ids = '{spk} {hp} {lg} {cn} {emoji} {hs1} {hs2} {lo} {lod} {q} {bs} {tab} {k} {mic} {li}'; Starts = 1 }
        @{ Case = 'one flow'; Arguments = @{ Flow = 'capture' }; Ids = '{mic} {li}'; Starts = 1 }
        @{ Case = 'what a substring selects, case-sensitively'; Arguments = @{ Flow = 'render'; NameSubstring = 'Line Out' }; Ids = '{lo} {lod}'; Starts = 1 }
        @{ Case = 'nothing for the wrong letter case'; Arguments = @{ Flow = 'render'; NameSubstring = 'line out' }; Ids = ''; Starts = 1 }
        @{ Case = 'a substring in both flows'; Arguments = @{ NameSubstring = 'NVIDIA' }; Ids = '{hp} {lg} {mic}'; Starts = 2 }
        @{ Case = 'a final backslash'; Arguments = @{ Flow = 'render'; NameSubstring = 'Out\' }; Ids = '{q}'; Starts = 1 }
        @{ Case = 'a tab inside the substring'; Arguments = @{ Flow = 'render'; NameSubstring = "r`tC" }; Ids = '{tab}'; Starts = 1 }
    ) {
        Remove-Item -LiteralPath $deployment.Calls -ErrorAction Ignore
        $endpoints = @(Get-QuorvaneEndpoint @Arguments)
        ($endpoints.Id -join ' ') | Should -BeExactly $Ids
        Get-Starts $deployment | Should -HaveCount $Starts
    }

    It 'makes objects with every character of the name, a tab too, whatever the console decodes' {
        $saved = [Console]::OutputEncoding
        try {
            [Console]::OutputEncoding = [Text.Encoding]::GetEncoding(28591)
            $endpoints = @(Get-QuorvaneEndpoint)
        } finally {
            [Console]::OutputEncoding = $saved
        }
        foreach ($endpoint in $endpoints) {
            $endpoint.PSObject.TypeNames[0] | Should -BeExactly 'Quorvane.Endpoint'
        }
        $expected = foreach ($line in $Original) {
            $null, $flow, $presence, $visibility, $id, $name = $line -split ' ', 6
            "$flow|$(if ($visibility -eq 'hidden') { 'disabled' } else { $presence })|$id|$name"
        }
        @($endpoints | ForEach-Object { "$($_.Flow)|$($_.State)|$($_.Id)|$($_.Name)" }) | Should -BeExactly $expected
    }

    It 'shows a table of flow, state, name and id, which tells two endpoints of one name apart' {
        $table = (Get-QuorvaneEndpoint render 'Headset Earphone' | Out-String -Width 120) -split "`n" | ForEach-Object { $_.Trim() } | Where-Object { $_ }
        @($table | ForEach-Object { ($_ -split ' {2,}') -join '|' }) | Should -BeExactly @(
            'Flow|State|Name|Id', '----|-----|----|--'
            'render|active|Headset Earphone (Jabra Evolve2 65)|{hs1}'
            'render|active|Headset Earphone (Jabra Evolve2 65)|{hs2}')
    }

    It 'stops on a listing that failed, with its line and status' {
        $null = New-ModuleFolder -Lines 'endpoint rendr active shown {x} Broken'
        { Get-QuorvaneEndpoint -ErrorAction Stop } | Should -Throw '*could not list the endpoints (status 2): MMDeviceEnumerator CoCreateInstance failed (hr=0x????????)'
    }
}

Describe 'Changing by substring' {
    It '<Command> <Flow> "<Substring>" leaves <Ids> hidden, naming each endpoint whole' -ForEach @(
        @{ Command = 'Hide-QuorvaneEndpoint'; Flow = 'render'; Substring = 'Realtek'; Force = $false; Ids = '{spk} {cn} {li}'; Said = "Hid 'Speakers (Realtek(R) Audio)' ({spk}).", "Hid '扬声器 (Realtek(R) Audio)' ({cn})." }
        @{ Command = 'Hide-QuorvaneEndpoint'; Flow = 'render'; Substring = "r`tC"; Force = $false; Ids = '{tab} {li}'; Said = , "Hid 'Mixer`tChannel 1' ({tab})." }
        @{ Command = 'Hide-QuorvaneEndpoint'; Flow = 'capture'; Substring = ''; Force = $true; Ids = '{mic} {li}'; Said = "Hid 'Microphone (NVIDIA High Definition Audio)' ({mic}).", "Hid 'Line In (Realtek(R) Audio)' ({li})." }
        @{ Command = 'Show-QuorvaneEndpoint'; Flow = 'capture'; Substring = 'Line'; Force = $false; Ids = ''; Said = , "Showed 'Line In (Realtek(R) Audio)' ({li})." }
    ) {
        $deployment = New-ModuleFolder
        $verbose = & $Command $Flow $Substring -Force:$Force -Verbose 4>&1
        (Get-HiddenIds) -join ' ' | Should -BeExactly $Ids
        @($verbose | ForEach-Object { $_.Message } | Where-Object { $_ -match '^(Hid|Showed) ' }) | Should -BeExactly $Said
        @($verbose | Where-Object { $_ -isnot [Management.Automation.VerboseRecord] }) | Should -BeNullOrEmpty
        Get-Starts $deployment | Should -Be @('QuorvaneList.exe', 'Quorvane.exe')
    }

    It '<_> refuses the empty substring without -Force, and runs nothing' -ForEach @('Hide-QuorvaneEndpoint', 'Show-QuorvaneEndpoint') {
        $deployment = New-ModuleFolder
        $command = $_
        $errors = @(Get-Errors { & $command render '' })
        $errors.FullyQualifiedErrorId | Should -Be "Quorvane.EmptySubstringRefused,$command"
        $errors.CategoryInfo.Category | Should -Be 'InvalidArgument'
        Get-Starts $deployment | Should -BeNullOrEmpty
        Get-HiddenIds | Should -Be '{li}'
    }

    It 'writes with -PassThru the endpoints changed, as listed after' {
        $null = New-ModuleFolder
        $passed = @(Hide-QuorvaneEndpoint render 'NVIDIA' -PassThru)
        @($passed | ForEach-Object { "$($_.Id) $($_.State)" }) | Should -Be @('{hp} disabled', '{lg} disabled')
    }
}

# The module starts the programs itself, so PowerShell's way of passing
# arguments to programs must make no difference.
Describe 'Arguments reach Quorvane exactly, with <_> argument passing' -ForEach $Passing {
    BeforeAll { $PSNativeCommandArgumentPassing = $_ }

    It 'hides by "<Substring>"' -ForEach @(
        @{ Substring = 'Studio "A" Out\'; Id = '{q}' }
        @{ Substring = 'Mix\Bus'; Id = '{bs}' }
        @{ Substring = 'Mix\Bus \\"2\" Out'; Id = '{bs}' }
    ) {
        $null = New-ModuleFolder
        Hide-QuorvaneEndpoint render $Substring
        Get-HiddenIds | Should -Be @($Id, '{li}')
    }
}

Describe 'Piped endpoints and ids' {
    It 'are changed alone, whatever names others have: <Case>' -ForEach @(
        @{ Case = 'one of two of the same name'; Pipe = { Get-Endpoint '{hs2}' }; Ids = '{hs2} {li}' }
        @{ Case = 'a name that is part of another'; Pipe = { Get-Endpoint '{lo}' }; Ids = '{lo} {li}' }
        @{ Case = 'a name with a tab'; Pipe = { Get-Endpoint '{tab}' }; Ids = '{tab} {li}' }
        @{ Case = 'an object with Flow and Id alone'; Pipe = { [pscustomobject]@{ Flow = 'render'; Id = '{lod}' } }; Ids = '{lod} {li}' }
        @{ Case = 'from Import-Csv, of both flows'; Pipe = {
            $csv = Join-Path $env:QUORVANE_TEST_WORK 'endpoints.csv'
            Get-QuorvaneEndpoint | Where-Object Id -in '{hs1}', '{mic}' | Export-Csv -LiteralPath $csv -Encoding utf8
            Import-Csv -LiteralPath $csv }; Ids = '{hs1} {mic} {li}' }
    ) {
        $null = New-ModuleFolder
        $errors = @(Get-Errors { & $Pipe | Hide-QuorvaneEndpoint })
        (Get-HiddenIds) -join ' ' | Should -BeExactly $Ids
        $errors | Should -BeNullOrEmpty
    }

    It 'changes one endpoint with -Flow and -Id alone' {
        $deployment = New-ModuleFolder
        Hide-QuorvaneEndpoint -Flow render -Id '{hs1}' -Verbose 4>&1 | ForEach-Object Message | Where-Object { $_ -match '^Hid ' } |
            Should -BeExactly "Hid 'Headset Earphone (Jabra Evolve2 65)' ({hs1})."
        Get-HiddenIds | Should -Be '{hs1}', '{li}'
        Get-Starts $deployment | Should -Be @('QuorvaneList.exe', 'QuorvaneId.exe')
    }

    It 'are refused, and nothing runs but one listing, when <Case>' -ForEach @(
        @{ Case = 'the id is gone'; Objects = , @{ Flow = 'render'; Id = '{gone}'; Name = 'Line Out' }
           Expected = , @('EndpointGone', "There is no endpoint {gone} ('Line Out') any longer. A driver update*") }
        @{ Case = 'the id is of the other flow'; Objects = , @{ Flow = 'render'; Id = '{mic}' }
           Expected = , @('EndpointOfOtherFlow', 'Endpoint {mic} is a capture endpoint, not render.') }
        @{ Case = 'an object without a name follows one with'; Objects = @{ Flow = 'render'; Id = '{mic}'; Name = 'Mic' }, @{ Flow = 'render'; Id = '{gone}' }
           Expected = @('EndpointOfOtherFlow', "Endpoint {mic} ('Mic') is a capture*"), @('EndpointGone', 'There is no endpoint {gone} any longer.*') }
        @{ Case = 'the listing fails, for each of three'; Lines = 'endpoint rendr x'; Objects = @{ Flow = 'render'; Id = '{a}' }, @{ Flow = 'render'; Id = '{b}' }, @{ Flow = 'render'; Id = '{c}' }
           Expected = , @('ListingFailed', 'QuorvaneList.exe could not list the endpoints*') }
    ) {
        $deployment = if ($Lines) { New-ModuleFolder -Lines $Lines } else { New-ModuleFolder }
        $errors = @(Get-Errors { $Objects | ForEach-Object { New-Object PSObject -Property $_ } | Hide-QuorvaneEndpoint })
        $errors | Should -HaveCount $Expected.Count
        for ($index = 0; $index -lt $Expected.Count; $index++) {
            $errors[$index].FullyQualifiedErrorId | Should -Be "Quorvane.$($Expected[$index][0]),Hide-QuorvaneEndpoint"
            $errors[$index].Exception.Message | Should -BeLike $Expected[$index][1]
        }
        Get-Starts $deployment | Should -Be 'QuorvaneList.exe'
    }

    It 'take one listing and one change run for the whole pipeline, and one listing more with -PassThru' {
        $deployment = New-ModuleFolder
        $listed = @(Get-QuorvaneEndpoint | Where-Object Id -in '{hs2}', '{lo}', '{mic}')
        $passed = @($listed | Hide-QuorvaneEndpoint -PassThru)
        @($passed | ForEach-Object { "$($_.Id) $($_.State)" }) | Should -Be @('{hs2} disabled', '{lo} disabled', '{mic} disabled')
        Get-Starts $deployment | Should -Be @('QuorvaneList.exe', 'QuorvaneList.exe', 'QuorvaneId.exe', 'QuorvaneList.exe')
    }

    # Windows takes at most 32,767 characters of command line.
    It 'are changed in as many runs as a command line holds' {
        $long = 'x' * 2600
        $lines = @(1..13 | ForEach-Object { "endpoint render active shown {$_$long} Output $_" })
        $deployment = New-ModuleFolder -Lines $lines
        Get-QuorvaneEndpoint | Hide-QuorvaneEndpoint
        Get-HiddenIds | Should -HaveCount 13
        @(Get-Starts $deployment | Where-Object { $_ -eq 'QuorvaneId.exe' }) | Should -HaveCount 2
    }
}

# A saved state restores exactly: every endpoint comes back as it was, the
# twins and a name inside another included.
Describe 'Saving and restoring' {
    It 'brings back every state, one twin hidden and the other shown' {
        $null = New-ModuleFolder -Lines ($Original -replace '^(endpoint \w+ \w+) shown (\{hs2\})', '$1 hidden $2')
        $saved = Join-Path $env:QUORVANE_TEST_WORK 'saved.csv'
        Get-QuorvaneEndpoint | Export-Csv -LiteralPath $saved -Encoding utf8
        $before = Get-Content -LiteralPath $Machine -Encoding utf8
        Show-QuorvaneEndpoint render '' -Force
        Hide-QuorvaneEndpoint render 'Line Out (Dock)'
        Hide-QuorvaneEndpoint capture '' -Force
        $errors = @(Get-Errors {
            Import-Csv -LiteralPath $saved | Where-Object State -eq 'disabled' | Hide-QuorvaneEndpoint
            Import-Csv -LiteralPath $saved | Where-Object State -ne 'disabled' | Show-QuorvaneEndpoint
        })
        $errors | Should -BeNullOrEmpty
        Get-Content -LiteralPath $Machine -Encoding utf8 | Should -BeExactly $before
    }

    It 'names each endpoint whose id a driver update replaced' {
        $null = New-ModuleFolder
        $saved = Join-Path $env:QUORVANE_TEST_WORK 'stale.csv'
        Get-QuorvaneEndpoint capture | Export-Csv -LiteralPath $saved -Encoding utf8
        $null = New-ModuleFolder -Lines ($Original -replace '\{li\}', '{li-new}')
        $errors = @(Get-Errors { Import-Csv -LiteralPath $saved | Where-Object State -eq 'disabled' | Hide-QuorvaneEndpoint })
        $errors.FullyQualifiedErrorId | Should -Be 'Quorvane.EndpointGone,Hide-QuorvaneEndpoint'
        $errors[0].Exception.Message | Should -BeLike "There is no endpoint {li} ('Line In (Realtek(R) Audio)') any longer.*"
    }
}

Describe 'Previewing and confirming' {
    It '-WhatIf names every endpoint <Case>, writes no error and changes none' -ForEach @(
        @{ Case = 'a substring selects'; Script = "Hide-QuorvaneEndpoint render 'Realtek' -WhatIf"; Targets = '{spk}', '{cn}' }
        @{ Case = 'piped in'; Script = "Get-QuorvaneEndpoint capture | Show-QuorvaneEndpoint -WhatIf"; Targets = '{mic}', '{li}' }
    ) {
        $deployment = New-ModuleFolder
        $said = Invoke-InHost $deployment "$Script; `$Error.Count"
        $whatIf = @($said | Where-Object { $_ -like 'What if: *' })
        $whatIf | Should -HaveCount $Targets.Count
        foreach ($target in $Targets) { @($whatIf -like "*($target)*") | Should -HaveCount 1 }
        $said[-1] | Should -Be '0'
        Get-Starts $deployment | Should -Not -Contain 'Quorvane.exe'
        Get-Starts $deployment | Should -Not -Contain 'QuorvaneId.exe'
        Get-HiddenIds | Should -Be '{li}'
    }

    It '-Confirm asks <Questions> time(s): <Case>' -ForEach @(
        @{ Case = 'piped, one yes and one no'; Script = "Get-QuorvaneEndpoint render | Where-Object Id -in '{hs1}', '{hs2}' | Hide-QuorvaneEndpoint -Confirm"; Answers = 'Y', 'N'; Questions = 2; Ids = '{hs1} {li}' }
        @{ Case = 'a substring, once for all it selects, yes'; Script = "Hide-QuorvaneEndpoint render 'NVIDIA' -Confirm"; Answers = , 'Y'; Questions = 1; Ids = '{hp} {lg} {li}' }
        @{ Case = 'a substring, once for all it selects, no'; Script = "Hide-QuorvaneEndpoint render 'NVIDIA' -Confirm"; Answers = , 'N'; Questions = 1; Ids = '{li}' }
    ) {
        $deployment = New-ModuleFolder
        $said = Invoke-InHost $deployment $Script $Answers
        @($said | Where-Object { $_ -like 'Are you sure*' }) | Should -HaveCount $Questions
        if ($Questions -eq 1) {
            # The host wraps the question where it likes.
            ($said -join ' ') | Should -BeLike "*hide all 2 endpoints that `"NVIDIA`" selects, together?*'Kopfhörer (NVIDIA High Definition Audio)' ({hp}),*({lg})*"
        }
        (Get-HiddenIds) -join ' ' | Should -BeExactly $Ids
    }
}

Describe 'Errors' {
    It '<Case>' -ForEach @(
        @{ Case = 'nothing matched'; Substring = 'Sony'; Refuse = @(); Expected = @(@{ Id = 'NoEndpointMatched'; Category = 'ObjectNotFound'; Says = 'No render endpoint''s name contains "Sony".' }); Ids = '{li}' }
        @{ Case = 'nothing matched, but a name in another letter case'; Substring = 'line out'; Refuse = @()
           Expected = @(@{ Id = 'NoEndpointMatched'; Category = 'ObjectNotFound'; Says = 'No render endpoint''s name contains "line out". In another letter case it is part of ''Line Out'', ''Line Out (Dock)''; the match is exact.' }); Ids = '{li}' }
        @{ Case = 'one refused among two: it, by its place'; Substring = 'NVIDIA'; Refuse = @('refuse {lg} 80070005')
           Expected = @(@{ Id = 'ChangeRefused'; Category = 'PermissionDenied'; Says = "Could not hide 'LG ULTRAGEAR (NVIDIA High Definition Audio)' ({lg}): SetEndpointVisibility failed (hr=0x80070005). * elevated *" }); Ids = '{hp} {li}' }
        @{ Case = 'every match refused: those alone'; Substring = 'NVIDIA'; Refuse = @('refuse {hp} 80004005', 'refuse {lg} 8007001F')
           Expected = @(@{ Id = 'ChangeRefused'; Category = 'InvalidResult'; Says = "Could not hide 'Kopfhörer (NVIDIA High Definition Audio)' ({hp}): SetEndpointVisibility failed (hr=0x80004005)." }
                      @{ Id = 'ChangeRefused'; Category = 'InvalidResult'; Says = "*({lg}): SetEndpointVisibility failed (hr=0x8007001F)." }); Ids = '{li}' }
    ) {
        $null = New-ModuleFolder -Lines ($Original + $Refuse)
        $errors = @(Get-Errors { Hide-QuorvaneEndpoint render $Substring })
        $errors | Should -HaveCount $Expected.Count
        for ($index = 0; $index -lt $Expected.Count; $index++) {
            $errors[$index].FullyQualifiedErrorId | Should -Be "Quorvane.$($Expected[$index].Id),Hide-QuorvaneEndpoint"
            $errors[$index].CategoryInfo.Category | Should -Be $Expected[$index].Category
            $errors[$index].Exception.Message | Should -BeLike $Expected[$index].Says
        }
        (Get-HiddenIds) -join ' ' | Should -BeExactly $Ids
    }

    It 'a piped endpoint refused is its own error, the others changed' {
        $null = New-ModuleFolder -Lines ($Original + 'refuse {hs1} 80070005')
        $errors = @(Get-Errors { Get-QuorvaneEndpoint render 'Headset Earphone' | Hide-QuorvaneEndpoint })
        $errors | Should -HaveCount 1
        $errors[0].CategoryInfo.Category | Should -Be 'PermissionDenied'
        $errors[0].Exception.Message | Should -BeLike "Could not hide 'Headset Earphone (Jabra Evolve2 65)' ({hs1}): SetEndpointVisibility failed (hr=0x80070005). * elevated *"
        Get-HiddenIds | Should -Be '{hs2}', '{li}'
    }

    # Stand-ins answer as the real programs would when Windows changes between
    # the listing and the change run, which the simulated machine cannot do.
    It '<Case>' -ForEach @(
        @{ Case = 'Quorvane.exe cannot ask Windows after a listing that worked'; Script = { Hide-QuorvaneEndpoint render 'NVIDIA' }
           Standin = @{ Program = 'Quorvane.exe'; Status = 2; Lines = 'CoInitialize failed (hr=0x80010106)' }
           Expected = , @('SetupFailed', 'Quorvane.exe could not ask Windows, so this run changed nothing: CoInitialize failed (hr=0x80010106)') }
        @{ Case = 'QuorvaneId.exe cannot ask Windows after a listing that worked'; Script = { Get-Endpoint '{hs1}' | Hide-QuorvaneEndpoint }
           Standin = @{ Program = 'QuorvaneId.exe'; Status = 2; Lines = 'EnumAudioEndpoints failed (hr=0x8007000E)' }
           Expected = , @('SetupFailed', 'QuorvaneId.exe could not ask Windows, so this run changed nothing: EnumAudioEndpoints failed (hr=0x8007000E)') }
        @{ Case = 'an endpoint gone between the listing and the change'; Script = { Get-Endpoint '{hs1}' | Hide-QuorvaneEndpoint }
           Standin = @{ Program = 'QuorvaneId.exe'; Status = 2; Lines = 'No endpoint has id "{hs1}".' }
           Expected = , @('EndpointGone', "Could not hide 'Headset Earphone (Jabra Evolve2 65)' ({hs1}): it is no endpoint any longer.") }
        @{ Case = 'a substring that selects more than the listing had'; Script = { Hide-QuorvaneEndpoint render 'NVIDIA' }
           Standin = @{ Program = 'Quorvane.exe'; Status = 0; Lines = 'Playback: A -> DISABLED', 'SetEndpointVisibility failed (hr=0x80070005)', 'Playback: C -> DISABLED' }
           Expected = @('SelectionChanged', 'Changed an endpoint that "NVIDIA" selected, of 3 where the listing had 2, which cannot be named: Playback: A -> DISABLED'),
                      @('ChangeRefused', 'Could not hide an endpoint that "NVIDIA" selected, of 3 where the listing had 2: SetEndpointVisibility failed (hr=0x80070005).'),
                      @('SelectionChanged', 'Changed an endpoint that "NVIDIA" selected, of 3 where the listing had 2, which cannot be named: Playback: C -> DISABLED') }
        @{ Case = 'QuorvaneId.exe answering fewer lines than ids'; Script = { Get-QuorvaneEndpoint render 'Headset Earphone' | Hide-QuorvaneEndpoint }
           Standin = @{ Program = 'QuorvaneId.exe'; Status = 0; Lines = , 'Playback: Headset Earphone (Jabra Evolve2 65) -> DISABLED' }
           Expected = , @('ChangeUnclear', 'QuorvaneId.exe answered 1 lines for 2 ids, so no endpoint can be told changed: *') }
    ) {
        $null = New-ModuleFolder -Standin $Standin
        $errors = @(Get-Errors $Script)
        $errors | Should -HaveCount $Expected.Count
        for ($index = 0; $index -lt $Expected.Count; $index++) {
            $errors[$index].FullyQualifiedErrorId | Should -Be "Quorvane.$($Expected[$index][0]),Hide-QuorvaneEndpoint"
            $errors[$index].Exception.Message | Should -BeLike $Expected[$index][1]
        }
    }

    It '<Case> is one error that stops <Command>, before anything runs, with -WhatIf too' -ForEach @(
        @{ Case = 'Quorvane.exe missing'; Without = 'Quorvane.exe'; Command = "Hide-QuorvaneEndpoint render 'NVIDIA' -WhatIf" }
        @{ Case = 'QuorvaneId.exe missing'; Without = 'QuorvaneId.exe'; Command = "Get-QuorvaneEndpoint | Show-QuorvaneEndpoint -WhatIf" }
        @{ Case = 'QuorvaneList.exe missing'; Without = 'QuorvaneList.exe'; Command = "Get-QuorvaneEndpoint -NameSubstring 'NVIDIA'" }
    ) {
        $deployment = New-ModuleFolder -Without $Without
        $thrown = $null
        try { Invoke-Expression $Command } catch { $thrown = $_ }
        $thrown.FullyQualifiedErrorId | Should -BeLike 'Quorvane.ProgramMissing,*-QuorvaneEndpoint'
        $thrown.CategoryInfo.Category | Should -Be 'ObjectNotFound'
        $thrown.Exception.Message | Should -BeLike "$Without is not in *Quorvane, the Quorvane module's folder."
        Get-Starts $deployment | Should -BeNullOrEmpty
    }

    It '<Case>' -ForEach @(
        @{ Case = 'Quorvane.exe cannot start'; Folder = @{}; Blocked = 'Quorvane.exe'; Category = 'ResourceUnavailable'; Says = 'Quorvane.exe could not start: *' }
        @{ Case = 'a QuorvaneList.exe without -utf8'; Folder = @{ Standin = @{ Program = 'QuorvaneList.exe'; Status = 1; Lines = 'Usage:' } }
           Category = 'InvalidOperation'; Says = 'QuorvaneList.exe does not know -utf8: *' }
    ) {
        $deployment = New-ModuleFolder @Folder
        if ($Blocked) { chmod -x (Join-Path $deployment.Folder $Blocked) }
        $errors = @(Get-Errors { Hide-QuorvaneEndpoint render 'NVIDIA' })
        $errors | Should -HaveCount 1
        $errors[0].CategoryInfo.Category | Should -Be $Category
        $errors[0].Exception.Message | Should -BeLike $Says
    }
}

Describe 'Tab completion' {
    BeforeAll { $null = New-ModuleFolder }

    It 'completes -Flow with render and capture' {
        $line = 'Hide-QuorvaneEndpoint -Flow '
        (TabExpansion2 $line $line.Length).CompletionMatches.CompletionText | Sort-Object | Should -Be @('capture', 'render')
    }

    It 'completes <Line> with names that read back exactly' -ForEach @(
        @{ Line = 'Hide-QuorvaneEndpoint render '; Ids = '{spk} {hp} {lg} {cn} {emoji} {hs1} {lo} {lod} {q} {bs} {tab} {k}' }
        @{ Line = 'Show-QuorvaneEndpoint -Flow capture -NameSubstring '; Ids = '{mic} {li}' }
        @{ Line = "Get-QuorvaneEndpoint render 'kitchen"; Ids = '{k}' }
        @{ Line = "Get-QuorvaneEndpoint -NameSubstring 'line"; Ids = '{lo} {lod} {li}' }
    ) {
        $names = @{}
        foreach ($endpoint in Get-QuorvaneEndpoint) { $names[$endpoint.Id] = $endpoint.Name }
        $completions = (TabExpansion2 $Line $Line.Length).CompletionMatches
        $read = @($completions | ForEach-Object { [scriptblock]::Create($_.CompletionText).InvokeReturnAsIs() })
        $read | Should -BeExactly @($Ids.Split(' ') | ForEach-Object { $names[$_] })
    }

    It 'completes nothing, and throws nothing, without QuorvaneList.exe' {
        $null = New-ModuleFolder -Without 'QuorvaneList.exe'
        $line = 'Hide-QuorvaneEndpoint render '
        # PowerShell falls back to completing file names, which are no values of ours.
        @((TabExpansion2 $line $line.Length).CompletionMatches | Where-Object ResultType -eq 'ParameterValue') | Should -BeNullOrEmpty
    }
}

Describe 'The module as shipped' {
    It 'has help with a synopsis, every parameter, inputs, links and examples for <_>' -ForEach @(
        'Get-QuorvaneEndpoint', 'Hide-QuorvaneEndpoint', 'Show-QuorvaneEndpoint'
    ) {
        $null = New-ModuleFolder
        $help = Get-Help $_ -Full
        $help.Synopsis | Should -Not -BeLike "$_*"
        foreach ($parameter in $help.parameters.parameter | Where-Object name -NotIn 'WhatIf', 'Confirm') {
            ($parameter.description.Text -join '') | Should -Not -BeNullOrEmpty -Because $parameter.name
        }
        ($help.inputTypes.inputType.type.name -join '') | Should -Not -BeNullOrEmpty
        @($help.relatedLinks.navigationLink.linkText) | Should -Not -BeNullOrEmpty
        $examples = @((Get-Help $_ -Examples).examples.example.code)
        $examples.Count | Should -BeGreaterOrEqual 2
        if ($_ -ne 'Get-QuorvaneEndpoint') {
            @($examples -like '*-WhatIf*') | Should -Not -BeNullOrEmpty
            @($examples -like '*|*') | Should -Not -BeNullOrEmpty
        }
    }

    It 'imports <Case> with exactly its three commands at the project''s version' -ForEach @(
        @{ Case = 'from the source'; From = $null }
        @{ Case = 'as signed in the release'; From = $env:QUORVANE_TEST_SIGNED }
    ) {
        $deployment = if ($From) { New-ModuleFolder -From $From } else { New-ModuleFolder }
        $manifest = Test-ModuleManifest -Path (Join-Path $deployment.Folder 'Quorvane.psd1')
        $manifest.Version | Should -Be ([version]$env:QUORVANE_TEST_VERSION)
        $manifest.Copyright | Should -BeExactly (Get-Content -LiteralPath (Join-Path $PSScriptRoot '../../LICENSE') | Where-Object { $_ -like 'Copyright *' })
        $manifest.CompatiblePSEditions | Should -Be @('Desktop', 'Core')
        $manifest.PowerShellVersion | Should -Be ([version]'5.1')
        (Get-Command -Module Quorvane).Name | Should -Be @('Get-QuorvaneEndpoint', 'Hide-QuorvaneEndpoint', 'Show-QuorvaneEndpoint')
        @(Get-QuorvaneEndpoint capture) | Should -HaveCount 2
    }

    # Windows PowerShell 5.1 cannot parse what PowerShell 7 added.
    It 'finds <Case>' -ForEach @(
        @{ Case = 'nothing 5.1 cannot parse in the files PowerShell runs'; Text = $null; Count = 0 }
        @{ Case = 'each construct that 7 added in a sample'; Count = 6
           Text = '$a ? 1 : 2; $b ?? 3; $c ??= 4; ${d}?.e; ${f}?[0]; g && h' }
    ) {
        $files = if ($Text) { @($Text) } else {
            @(Get-ChildItem (Join-Path $PSScriptRoot '../../module/*.ps*1'), (Join-Path $PSScriptRoot '../../admin/*.ps1') |
                ForEach-Object { Get-Content -Raw -LiteralPath $_.FullName })
        }
        $found = foreach ($text in $files) {
            $errors = $null
            $ast = [Management.Automation.Language.Parser]::ParseInput($text, [ref]$null, [ref]$errors)
            $errors | Should -BeNullOrEmpty
            $ast.FindAll({
                param($node)
                $node -is [Management.Automation.Language.TernaryExpressionAst] -or
                $node -is [Management.Automation.Language.PipelineChainAst] -or
                ($node -is [Management.Automation.Language.BinaryExpressionAst] -and $node.Operator -eq 'QuestionQuestion') -or
                ($node -is [Management.Automation.Language.AssignmentStatementAst] -and $node.Operator -eq 'QuestionQuestionEquals') -or
                (($node -is [Management.Automation.Language.MemberExpressionAst] -or
                  $node -is [Management.Automation.Language.IndexExpressionAst]) -and $node.NullConditional)
            }, $true)
        }
        @($found) | Should -HaveCount $Count
    }
}

Describe 'The README''s PowerShell section' {
    # Each block whole, in the order written, in a folder of its own; a block
    # that imports the module from where an install puts it cannot run here,
    # where the test has imported it already.
    It 'runs its examples as written' {
        $null = New-ModuleFolder
        $readme = Get-Content -Raw -LiteralPath (Join-Path $PSScriptRoot '../../README.md')
        $section = [regex]::Match($readme, '(?ms)^## In PowerShell$(.*?)^## ').Groups[1].Value
        $blocks = @([regex]::Matches($section, '(?ms)^```powershell\r?\n(.*?)^```') | ForEach-Object { $_.Groups[1].Value } |
            Where-Object { $_ -notmatch 'Import-Module' })
        $blocks.Count | Should -BeGreaterOrEqual 2
        $folder = Join-Path $env:QUORVANE_TEST_WORK 'readme'
        New-Item -ItemType Directory -Force -Path $folder | Out-Null
        Push-Location $folder
        try {
            foreach ($block in $blocks) {
                $errors = @(Get-Errors ([scriptblock]::Create($block)))
                $errors | Should -BeNullOrEmpty -Because $block
            }
        } finally {
            Pop-Location
        }
        # The examples hide NVIDIA's endpoints; the restore, right after its
        # save, keeps every state as it was.
        Get-HiddenIds | Should -Be '{hp}', '{lg}', '{li}'
    }
}
