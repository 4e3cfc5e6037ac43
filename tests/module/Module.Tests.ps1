# The Quorvane module as an admin imports it: its files in a folder with the
# two programs, which here are wrappers that note each start and run the real
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
    $Original = @(
        'endpoint render active shown {spk} Speakers (Realtek(R) Audio)'
        'endpoint render active shown {hp} Kopfhörer (NVIDIA High Definition Audio)'
        'endpoint render unplugged shown {lg} LG ULTRAGEAR (NVIDIA High Definition Audio)'
        'endpoint render active shown {cn} 扬声器 (Realtek(R) Audio)'
        'endpoint render active shown {emoji} 🎧 Headset'
        'endpoint render active shown {usb1} Speakers (USB Audio)'
        'endpoint render active shown {usb2} Speakers (USB Audio)'
        'endpoint render active shown {lo} Line Out'
        'endpoint render active shown {lod} Line Out (Dock)'
        'endpoint render active shown {q} Studio "A" Out\'
        "endpoint render active shown {k} Kitchen’s Speaker (USB)"
        'endpoint capture active shown {mic} Microphone (NVIDIA High Definition Audio)'
        'endpoint capture unplugged hidden {li} Line In (Realtek(R) Audio)'
    )

    # A fresh folder with the module's files (from $From) and the programs
    # (those not left out), the machine as given, and the module imported from
    # there. $Standin makes one program a script that prints those lines and
    # exits with that status.
    function New-ModuleFolder([string[]]$Lines = $Original, [string]$From = $Source, [string[]]$Without = @(),
                              [hashtable]$Standin = @{}) {
        Set-Content -LiteralPath $Machine -Value $Lines -Encoding utf8NoBOM
        $root = Join-Path $env:QUORVANE_TEST_WORK ([IO.Path]::GetRandomFileName())
        $folder = Join-Path $root 'Quorvane'
        New-Item -ItemType Directory -Path $folder | Out-Null
        Copy-Item (Join-Path $From 'Quorvane.ps*'), (Join-Path $From 'Quorvane.format.ps1xml') $folder
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
    function Get-ProjectVersion {
        (Select-String -LiteralPath (Join-Path $PSScriptRoot '../../CMakeLists.txt') -Pattern 'project\(Quorvane VERSION ([0-9.]+)').Matches[0].Groups[1].Value
    }
}

Describe 'Get-QuorvaneEndpoint' {
    BeforeAll { $deployment = New-ModuleFolder }

    It 'gives <Case> with <Starts> listing(s)' -ForEach @(
        @{ Case = 'every endpoint, playback first'; Arguments = @{}; Ids = '{spk} {hp} {lg} {cn} {emoji} {usb1} {usb2} {lo} {lod} {q} {k} {mic} {li}'; Starts = 1 }
        @{ Case = 'one flow'; Arguments = @{ Flow = 'capture' }; Ids = '{mic} {li}'; Starts = 1 }
        @{ Case = 'what a substring selects, case-sensitively'; Arguments = @{ Flow = 'render'; NameSubstring = 'Speakers' }; Ids = '{spk} {usb1} {usb2}'; Starts = 1 }
        @{ Case = 'nothing for the wrong letter case'; Arguments = @{ Flow = 'render'; NameSubstring = 'speakers' }; Ids = ''; Starts = 1 }
        @{ Case = 'a substring in both flows'; Arguments = @{ NameSubstring = 'NVIDIA' }; Ids = '{hp} {lg} {mic}'; Starts = 2 }
        @{ Case = 'a final backslash'; Arguments = @{ Flow = 'render'; NameSubstring = 'Out\' }; Ids = '{q}'; Starts = 1 }
    ) {
        Remove-Item -LiteralPath $deployment.Calls -ErrorAction Ignore
        $endpoints = @(Get-QuorvaneEndpoint @Arguments)
        ($endpoints.Id -join ' ') | Should -BeExactly $Ids
        Get-Starts $deployment | Should -HaveCount $Starts
    }

    It 'makes objects with every character of the name, whatever the console decodes' {
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

    It 'shows a table of flow, state and name' {
        $table = (Get-QuorvaneEndpoint capture | Out-String -Width 200) -split "`n" | ForEach-Object { $_.TrimEnd() } | Where-Object { $_ }
        $table | Should -BeExactly @(
            'Flow     State      Name', '----     -----      ----'
            'capture  active     Microphone (NVIDIA High Definition Audio)'
            'capture  disabled   Line In (Realtek(R) Audio)')
    }

    It 'stops on a listing that failed, with its line and status' {
        $null = New-ModuleFolder -Lines 'endpoint rendr active shown {x} Broken'
        { Get-QuorvaneEndpoint -ErrorAction Stop } | Should -Throw '*could not list the endpoints (status 2): MMDeviceEnumerator CoCreateInstance failed (hr=0x????????)'
    }
}

Describe 'Changing by substring' {
    It '<Command> <Flow> "<Substring>" leaves <Ids> hidden' -ForEach @(
        @{ Command = 'Hide-QuorvaneEndpoint'; Flow = 'render'; Substring = 'Speakers'; Force = $false; Ids = '{spk} {usb1} {usb2} {li}'; Lines = 3 }
        @{ Command = 'Hide-QuorvaneEndpoint'; Flow = 'capture'; Substring = ''; Force = $true; Ids = '{mic} {li}'; Lines = 2 }
        @{ Command = 'Show-QuorvaneEndpoint'; Flow = 'capture'; Substring = 'Line'; Force = $false; Ids = ''; Lines = 1 }
        @{ Command = 'Show-QuorvaneEndpoint'; Flow = 'capture'; Substring = ''; Force = $true; Ids = ''; Lines = 2 }
    ) {
        $deployment = New-ModuleFolder
        $verbose = & $Command $Flow $Substring -Force:$Force -Verbose 4>&1
        $said = @($verbose | ForEach-Object { $_.Message } | Where-Object { $_ -like 'Quorvane.exe: *' })
        (Get-HiddenIds) -join ' ' | Should -BeExactly $Ids
        $said | Should -HaveCount $Lines
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

Describe 'Arguments reach Quorvane exactly, with <_> argument passing' -ForEach $Passing {
    BeforeAll { $PSNativeCommandArgumentPassing = $_ }

    It 'hides by "<_>"' -ForEach @('Studio "A" Out\', 'Out\', '"A"') {
        $null = New-ModuleFolder
        Hide-QuorvaneEndpoint render $_
        Get-HiddenIds | Should -Be @('{q}', '{li}')
    }
}

Describe 'Piped endpoints' {
    It 'are changed alone, each as a whole name: <Case>' -ForEach @(
        @{ Case = 'from Get-QuorvaneEndpoint'; Pipe = { Get-QuorvaneEndpoint render | Where-Object Id -in '{lod}', '{cn}' }; Ids = '{cn} {lod} {li}' }
        @{ Case = 'from Import-Csv'; Pipe = {
            $csv = Join-Path $env:QUORVANE_TEST_WORK 'endpoints.csv'
            Get-QuorvaneEndpoint | Where-Object Id -in '{emoji}', '{mic}' | Export-Csv -LiteralPath $csv -Encoding utf8
            Import-Csv -LiteralPath $csv }; Ids = '{emoji} {mic} {li}' }
    ) {
        $null = New-ModuleFolder
        & $Pipe | Hide-QuorvaneEndpoint
        (Get-HiddenIds) -join ' ' | Should -BeExactly $Ids
    }

    It 'are refused when <Case>' -ForEach @(
        @{ Case = 'a twin has the same name'; Id = '{usb1}'; Name = 'Speakers (USB Audio)'; ErrorId = 'NameNotExact'; Says = "*would also select {usb2},*" }
        @{ Case = 'the name is inside another'; Id = '{lo}'; Name = 'Line Out'; ErrorId = 'NameNotExact'; Says = '*would also select {lod},*' }
        @{ Case = 'the endpoint is gone'; Id = '{gone}'; Name = 'Line Out'; ErrorId = 'EndpointGone'; Says = '*no render endpoint {gone}*' }
        @{ Case = 'the endpoint was renamed'; Id = '{spk}'; Name = 'Speakers'; ErrorId = 'EndpointRenamed'; Says = "*now named 'Speakers (Realtek(R) Audio)'*" }
        @{ Case = 'it has no name'; Id = '{spk}'; Name = ''; ErrorId = 'EndpointNameless'; Says = '*no name*' }
    ) {
        $deployment = New-ModuleFolder
        $errors = @(Get-Errors { [pscustomobject]@{ Flow = 'render'; Id = $Id; Name = $Name } | Hide-QuorvaneEndpoint })
        $errors | Should -HaveCount 1
        $errors[0].FullyQualifiedErrorId | Should -Be "Quorvane.$ErrorId,Hide-QuorvaneEndpoint"
        $errors[0].Exception.Message | Should -BeLike $Says
        Get-Starts $deployment | Should -Be 'QuorvaneList.exe'
        Get-HiddenIds | Should -Be '{li}'
    }

    It 'start one listing per flow, one change each and one listing after' {
        $lines = @(1..20 | ForEach-Object { "endpoint render active shown {r$_} Output $_ (Simulated)" }) +
            @(1..10 | ForEach-Object { "endpoint capture active shown {c$_} Input $_ (Simulated)" })
        $deployment = New-ModuleFolder -Lines $lines
        $listed = @(Get-QuorvaneEndpoint | Where-Object Name -NotLike '* 1 (*')
        $passed = @($listed | Hide-QuorvaneEndpoint -PassThru)
        $passed | Should -HaveCount 28
        $starts = Get-Starts $deployment
        @($starts | Where-Object { $_ -eq 'QuorvaneList.exe' }) | Should -HaveCount 4
        @($starts | Where-Object { $_ -eq 'Quorvane.exe' }) | Should -HaveCount 28
    }
}

Describe 'Previewing and confirming' {
    It '-WhatIf names every endpoint <Case> and changes none' -ForEach @(
        @{ Case = 'a substring selects'; Script = "Hide-QuorvaneEndpoint render 'Realtek' -WhatIf"; Targets = '{spk}', '{cn}' }
        @{ Case = 'piped in'; Script = "Get-QuorvaneEndpoint capture | Show-QuorvaneEndpoint -WhatIf"; Targets = '{mic}', '{li}' }
    ) {
        $deployment = New-ModuleFolder
        $said = Invoke-InHost $deployment $Script
        $whatIf = @($said | Where-Object { $_ -like 'What if: *' })
        $whatIf | Should -HaveCount $Targets.Count
        foreach ($target in $Targets) { @($whatIf -like "*($target)*") | Should -HaveCount 1 }
        Get-Starts $deployment | Should -Not -Contain 'Quorvane.exe'
        Get-HiddenIds | Should -Be '{li}'
    }

    It '-Confirm asks before each change: <Case>' -ForEach @(
        @{ Case = 'piped, one yes and one no'; Script = "Get-QuorvaneEndpoint render | Where-Object Id -in '{hp}', '{lg}' | Hide-QuorvaneEndpoint -Confirm"; Answers = 'Y', 'N'; Ids = '{hp} {li}' }
        @{ Case = 'a substring, all or nothing'; Script = "Hide-QuorvaneEndpoint render 'NVIDIA' -Confirm"; Answers = 'Y', 'N'; Ids = '{li}' }
    ) {
        $deployment = New-ModuleFolder
        $said = Invoke-InHost $deployment $Script $Answers
        @($said | Where-Object { $_ -like 'Are you sure*' }) | Should -HaveCount 2
        (Get-HiddenIds) -join ' ' | Should -BeExactly $Ids
    }
}

Describe 'Errors' {
    It '<Case>' -ForEach @(
        @{ Case = 'nothing matched'; Substring = 'Sony'; Refuse = @(); Expected = @(@{ Id = 'NoEndpointMatched'; Category = 'ObjectNotFound'; Says = '*"Sony"*' }); Ids = '{li}' }
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

    It '<Case>' -ForEach @(
        @{ Case = 'Quorvane.exe missing'; Folder = @{ Without = 'Quorvane.exe' }; Category = 'ObjectNotFound'; Says = 'Quorvane.exe is not in *Quorvane, the Quorvane module''s folder.' }
        @{ Case = 'QuorvaneList.exe missing'; Folder = @{ Without = 'QuorvaneList.exe' }; Category = 'ObjectNotFound'; Says = 'QuorvaneList.exe is not in *Quorvane, the Quorvane module''s folder.' }
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
        @{ Line = 'Hide-QuorvaneEndpoint render '; Ids = '{spk} {hp} {lg} {cn} {emoji} {usb1} {lo} {lod} {q} {k}' }
        @{ Line = 'Show-QuorvaneEndpoint -Flow capture -NameSubstring '; Ids = '{mic} {li}' }
        @{ Line = "Get-QuorvaneEndpoint render 'kitchen"; Ids = '{k}' }
    ) {
        $names = @{}
        foreach ($endpoint in Get-QuorvaneEndpoint) { $names[$endpoint.Id] = $endpoint.Name }
        $completions = (TabExpansion2 $Line $Line.Length).CompletionMatches
        $read = @($completions | ForEach-Object { [scriptblock]::Create($_.CompletionText).InvokeReturnAsIs() })
        $read | Should -BeExactly @($Ids.Split(' ') | ForEach-Object { $names[$_] })
    }
}

Describe 'The module as shipped' {
    It 'has help with a synopsis, every parameter and examples for <_>' -ForEach @(
        'Get-QuorvaneEndpoint', 'Hide-QuorvaneEndpoint', 'Show-QuorvaneEndpoint'
    ) {
        $null = New-ModuleFolder
        $help = Get-Help $_ -Full
        $help.Synopsis | Should -Not -BeLike "$_*"
        foreach ($parameter in $help.parameters.parameter | Where-Object name -NotIn 'WhatIf', 'Confirm') {
            ($parameter.description.Text -join '') | Should -Not -BeNullOrEmpty -Because $parameter.name
        }
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
        $manifest.Version | Should -Be ([version](Get-ProjectVersion))
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
    It 'runs its examples as written' {
        $null = New-ModuleFolder
        $readme = Get-Content -Raw -LiteralPath (Join-Path $PSScriptRoot '../../README.md')
        $section = [regex]::Match($readme, '(?ms)^## In PowerShell$(.*?)^## ').Groups[1].Value
        $blocks = @([regex]::Matches($section, '(?ms)^```powershell\r?\n(.*?)^```') | ForEach-Object { $_.Groups[1].Value })
        $examples = @($blocks | Select-Object -Skip 1) -join "`n" -split "`n" | Where-Object { $_ -match 'Quorvane' }
        $examples.Count | Should -BeGreaterOrEqual 3
        foreach ($example in $examples) {
            { & ([scriptblock]::Create($example)) | Out-Null } | Should -Not -Throw -Because $example
        }
        Get-HiddenIds | Should -Contain '{lg}'
    }
}
