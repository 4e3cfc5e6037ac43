# The fleet scripts as an admin deploys them: a copy with its two settings lines
# edited, the tools in a Quorvane folder under ProgramW6432, and each script run
# whole, its exit status taken as the caller sees it. The tools there are
# wrappers that note each call and run the real executables under Wine against
# a simulated machine, or stand-ins that answer as a tool would that this
# machine cannot make fail. Run by tests/powershell_test.sh, which sets the
# environment read here.

BeforeDiscovery {
    $Scripts = @('Detect-ShownEndpoints.ps1', 'Hide-Endpoints.ps1')
    $Passing = @('Standard', 'Legacy')
}

BeforeAll {
    . (Join-Path $PSScriptRoot '../TestPrograms.ps1')
    $Machine = $env:QUORVANE_TEST_MACHINE    # the machine file the simulator reads
    $Admin = Join-Path $PSScriptRoot '../../admin'
    $Original = @(
        'endpoint render active shown {spk} Speakers (Realtek(R) Audio)'
        'endpoint render active shown {hp} Kopfhörer (NVIDIA High Definition Audio)'
        'endpoint render unplugged shown {lg} LG ULTRAGEAR (NVIDIA High Definition Audio)'
        'endpoint render active shown {cn} 扬声器 (Realtek(R) Audio)'
        'endpoint render active shown {ru} Динамики (Realtek(R) Audio)'
        'endpoint capture active shown {mic} Microphone (NVIDIA High Definition Audio)'
    )

    # A fresh deployment: the machine as given (as it first was by default), the
    # tools (unless left out) in ProgramW6432\Quorvane, each a wrapper of the
    # real one or, where $Standin names it, a stand-in that prints those lines
    # and exits with that status; and a copy of the script set as given, or
    # with its substring line's source as $SubstringSource gives it, saved as
    # UTF-8 with a byte-order mark or, as by default, without.
    function New-Deployment([string]$Script, [string]$Flow, [string]$Substring, [string[]]$Lines = $Original,
                            [hashtable]$Standin = @{}, [switch]$WithoutTools, [string]$SubstringSource,
                            [switch]$WithMark) {
        Set-Content -LiteralPath $Machine -Value $Lines -Encoding utf8NoBOM
        $root = Join-Path $env:QUORVANE_TEST_WORK ([IO.Path]::GetRandomFileName())
        $folder = Join-Path $root 'ProgramW6432/Quorvane'
        New-Item -ItemType Directory -Path $folder | Out-Null
        $calls = Join-Path $root 'calls.txt'
        Install-TestPrograms $folder $calls $Standin $(if ($WithoutTools) { @('Quorvane.exe', 'QuorvaneList.exe') } else { @() })
        $quoted = { param($text) "'" + $text.Replace("'", "''") + "'" }
        $copy = Join-Path $root $Script
        $text = Get-Content -LiteralPath (Join-Path $Admin $Script)
        $text = $text -replace '^\$Flow = .*$', "`$Flow = $(& $quoted $Flow)"
        $source = if ($SubstringSource) { $SubstringSource } else { & $quoted $Substring }
        $text = $text -replace '^\$Substring = .*$', "`$Substring = $($source.Replace('$', '$$'))"
        Set-Content -LiteralPath $copy -Value $text -Encoding $(if ($WithMark) { 'utf8BOM' } else { 'utf8NoBOM' })
        return @{ Root = $root; Script = $copy; Calls = $calls }
    }

    # Runs the deployed script whole: its exit ends it and gives the status.
    # ProgramW6432 is the deployment's own, or unset as in a 32-bit host.
    function Invoke-Deployed($Deployment, [switch]$As32Bit) {
        $saved = $env:ProgramW6432, $env:ProgramFiles
        try {
            if ($As32Bit) {
                $env:ProgramW6432 = $null
                $env:ProgramFiles = Join-Path $Deployment.Root 'ProgramW6432'
            } else {
                $env:ProgramW6432 = Join-Path $Deployment.Root 'ProgramW6432'
                $env:ProgramFiles = Join-Path $Deployment.Root 'ProgramFiles (x86)'
            }
            $lines = @(& $Deployment.Script)
            $status = $LASTEXITCODE
        } finally {
            $env:ProgramW6432, $env:ProgramFiles = $saved
        }
        $calls = if (Test-Path -LiteralPath $Deployment.Calls) { @(Get-Content -LiteralPath $Deployment.Calls) } else { @() }
        return @{ Status = $status; Lines = $lines; Calls = $calls }
    }

    function Get-MachineLines { @(Get-Content -LiteralPath $Machine -Encoding utf8) }

    # Runs $Block with the environment a 32-bit PowerShell has on 64-bit
    # Windows ("WOW64 Implementation Details"): ProgramFiles names Program
    # Files (x86), and ProgramW6432 the 64-bit folder, the deployment's.
    function Invoke-In32BitHost($Deployment, [scriptblock]$Block) {
        $saved = $env:ProgramW6432, $env:ProgramFiles
        try {
            $env:ProgramW6432 = Join-Path $Deployment.Root 'ProgramW6432'
            $env:ProgramFiles = Join-Path $Deployment.Root 'ProgramFiles (x86)'
            . $Block
        } finally {
            $env:ProgramW6432, $env:ProgramFiles = $saved
        }
    }

    # The text of every powershell block of the README and the guides, in order.
    function Get-ReadmeBlocks {
        foreach ($file in @(Join-Path $PSScriptRoot '../../README.md') + @(Get-ChildItem (Join-Path $PSScriptRoot '../../docs/*.md'))) {
            $text = Get-Content -Raw -LiteralPath $file
            # A block may stand indented in a list item.
            [regex]::Matches($text, '(?ms)^( *)```powershell\r?\n(.*?)^\1```') | ForEach-Object {
                $_.Groups[2].Value -replace "(?m)^$($_.Groups[1].Value)", ''
            }
        }
    }

    # A run's exit status and its output lines, exactly.
    function Assert-Run($Run, [int]$Status, [object[]]$Lines) {
        $Run.Status | Should -Be $Status
        $Run.Lines | Should -Be $Lines
    }
}

Describe 'The cycle settles, with <_> argument passing' -ForEach $Passing {
    BeforeAll { $PSNativeCommandArgumentPassing = $_ }

    It 'detects, hides twice alike, then detects nothing left, twice' {
        $detect = New-Deployment 'Detect-ShownEndpoints.ps1' 'render' 'NVIDIA High Definition Audio'
        $hide = New-Deployment 'Hide-Endpoints.ps1' 'render' 'NVIDIA High Definition Audio'
        Assert-Run (Invoke-Deployed $detect) 1 @(
            'Shown (active): Kopfhörer (NVIDIA High Definition Audio)'
            'Shown (unplugged): LG ULTRAGEAR (NVIDIA High Definition Audio)'
            '1 of 2 render endpoints that match is active and shown: hiding needed.')

        # Quorvane does not look at an endpoint's state: hiding again says the same.
        foreach ($again in 1, 2) {
            Assert-Run (Invoke-Deployed $hide) 0 @(
                'Playback: Kopfhörer (NVIDIA High Definition Audio) -> DISABLED'
                'Playback: LG ULTRAGEAR (NVIDIA High Definition Audio) -> DISABLED'
                'Hid 2 render endpoints.')
        }
        Get-MachineLines | Should -Be ($Original -replace '^(endpoint render \w+) shown (\{(hp|lg)\})', '$1 hidden $2')

        foreach ($again in 1, 2) {
            Assert-Run (Invoke-Deployed $detect) 0 '0 of 2 render endpoints that match are active and shown: nothing to hide.'
        }
    }
}

Describe 'Detection' {
    It 'counts an endpoint that is not active as not shown, and names it' {
        Assert-Run (Invoke-Deployed (New-Deployment 'Detect-ShownEndpoints.ps1' 'render' 'LG ULTRAGEAR')) 0 @(
            'Shown (unplugged): LG ULTRAGEAR (NVIDIA High Definition Audio)'
            '0 of 1 render endpoints that match are active and shown: nothing to hide.')
    }
}

Describe 'Nothing matches' {
    It '<Script> exits <Status> and changes nothing' -ForEach @(
        @{ Script = 'Detect-ShownEndpoints.ps1'; Status = 0; Lines = @() }
        @{ Script = 'Hide-Endpoints.ps1'; Status = 2; Lines = @('No endpoints matched substring "Sony" in Playback list.') }
    ) {
        $run = Invoke-Deployed (New-Deployment $Script 'render' 'Sony')
        Assert-Run $run $Status ($Lines + "Nothing to hide: no render endpoint's name matches.")
        Get-MachineLines | Should -Be $Original
    }
}

Describe 'Bad settings are refused before any tool runs' {
    It '<Script> refuses <Case>' -ForEach @(
        foreach ($script in $Scripts) {
            @{ Script = $script; Case = 'a wrong flow'; Flow = 'output'; Substring = 'NVIDIA'
               Line = 'Setting refused: the flow is none of render, playback, capture, recording or record.' }
            foreach ($blank in '', " `t ") {
                @{ Script = $script; Case = "the substring '$blank'"; Flow = 'render'; Substring = $blank
                   Line = 'Setting refused: the substring is empty or blank; set it to a piece of the names to hide.' }
            }
            foreach ($wrong in 'LG "ULTRAGEAR"', 'Audio\') {
                @{ Script = $script; Case = "the substring '$wrong'"; Flow = 'render'; Substring = $wrong
                   Line = 'Setting refused: the substring holds a double quote or ends in a backslash, which Windows PowerShell 5.1 passes on wrongly.' }
            }
        }
    ) {
        $deployment = New-Deployment $Script $Flow $Substring
        $run = Invoke-Deployed $deployment
        Assert-Run $run 1 @($Line)
        $run.Calls | Should -BeNullOrEmpty
        Get-MachineLines | Should -Be $Original
    }
}

Describe 'Settings' {
    It '<Script> <Case>' -ForEach @(
        foreach ($script in $Scripts) {
            @{ Script = $script; Case = 'refuses a setting beyond ASCII in a file without a mark'; Source = "'Kopfhörer'"; Mark = $false
               Refused = $true }
            @{ Script = $script; Case = 'takes it written as a [char] escape'; Source = '"Kopfh$([char]0xF6)rer"'; Mark = $false; Refused = $false }
            @{ Script = $script; Case = 'takes it in a file with a mark'; Source = "'Kopfhörer'"; Mark = $true; Refused = $false }
            @{ Script = $script; Case = 'takes anything in a comment'; Source = "'Kopfh' # Kopfhörer"; Mark = $false; Refused = $false }
        }
    ) {
        $deployment = New-Deployment $Script 'render' '' -SubstringSource $Source -WithMark:$Mark
        $run = Invoke-Deployed $deployment
        if ($Refused) {
            Assert-Run $run 1 @('Setting refused: a setting holds a character beyond ASCII in a file without a byte-order mark, which Windows PowerShell 5.1 misreads; write each such character as a [char] escape, such as "Kopfh$([char]0xF6)rer".')
            $run.Calls | Should -BeNullOrEmpty
        } else {
            $run.Lines[-1] | Should -BeIn @('1 of 1 render endpoints that match is active and shown: hiding needed.', 'Hid 1 render endpoint.')
        }
    }

    # Quorvane takes its words in any letter case, and so do the scripts.
    It '<_> takes the flow RENDER as render' -ForEach $Scripts {
        $run = Invoke-Deployed (New-Deployment $_ 'RENDER' 'Kopfh')
        $run.Lines[-1] | Should -BeIn @('1 of 1 render endpoints that match is active and shown: hiding needed.', 'Hid 1 render endpoint.')
    }
}

Describe 'The tools cannot answer' {
    It '<Script> without the tools exits 1 and says which is missing' -ForEach @(
        @{ Script = 'Detect-ShownEndpoints.ps1'; Tool = 'QuorvaneList.exe' }
        @{ Script = 'Hide-Endpoints.ps1'; Tool = 'Quorvane.exe' }
    ) {
        $deployment = New-Deployment $Script 'render' 'NVIDIA' -WithoutTools
        Assert-Run (Invoke-Deployed $deployment) 1 @(
            "$Tool is not in $(Join-Path $deployment.Root 'ProgramW6432/Quorvane')"
            "$Tool could not run.")
    }

    It '<Script> exits <Status> with the tool''s own lines when it cannot ask' -ForEach @(
        @{ Script = 'Detect-ShownEndpoints.ps1'; Status = 1; Summary = 'QuorvaneList.exe failed (status 2).' }
        @{ Script = 'Hide-Endpoints.ps1'; Status = 2; Summary = 'Quorvane.exe failed (status 2).' }
    ) {
        $run = Invoke-Deployed (New-Deployment $Script 'render' 'NVIDIA' -Lines 'endpoint rendr active shown {x} Broken')
        $run.Status | Should -Be $Status
        $run.Lines[0] | Should -Match '^MMDeviceEnumerator CoCreateInstance failed \(hr=0x[0-9A-F]{8}\)$'
        $run.Lines | Select-Object -Skip 1 | Should -Be $Summary
    }

    It '<Case>' -ForEach @(
        @{ Case = 'detection asks for the QuorvaneList.exe that knows -utf8'; Script = 'Detect-ShownEndpoints.ps1'; Status = 1
           Standin = @{ Program = 'QuorvaneList.exe'; Status = 1; Lines = @('Usage:', '  QuorvaneList.exe [render|capture ["Name substring"]]') }
           Expected = @('QuorvaneList.exe does not know -utf8: install the QuorvaneList.exe of the same release as this script.'
                        'QuorvaneList.exe failed (status 1).') }
        @{ Case = 'remediation counts what Windows refused'; Script = 'Hide-Endpoints.ps1'; Status = 2
           Standin = @{ Program = 'Quorvane.exe'; Status = 2; Lines = @('SetEndpointVisibility failed (hr=0x80070005)'
                        'SetEndpointVisibility failed (hr=0x80070005)', 'No endpoints matched substring "NVIDIA" in Playback list.') }
           Expected = @('SetEndpointVisibility failed (hr=0x80070005)', 'SetEndpointVisibility failed (hr=0x80070005)'
                        'No endpoints matched substring "NVIDIA" in Playback list.'
                        'Nothing hidden: 2 render endpoints that match could not be hidden.') }
        @{ Case = 'remediation counts what it hid and what Windows refused'; Script = 'Hide-Endpoints.ps1'; Status = 0
           Standin = @{ Program = 'Quorvane.exe'; Status = 0; Lines = @('PolicyConfig CoCreateInstance failed (hr=0x80040154)'
                        'Playback: LG ULTRAGEAR (NVIDIA High Definition Audio) -> DISABLED') }
           Expected = @('PolicyConfig CoCreateInstance failed (hr=0x80040154)'
                        'Playback: LG ULTRAGEAR (NVIDIA High Definition Audio) -> DISABLED'
                        'Hid 1 render endpoint; 1 could not be hidden.') }
    ) {
        Assert-Run (Invoke-Deployed (New-Deployment $Script 'render' 'NVIDIA' -Standin $Standin)) $Status $Expected
    }
}

Describe 'Names' {
    It '<Script> shows <Case>' -ForEach @(
        @{ Script = 'Detect-ShownEndpoints.ps1'; Case = 'Latin-1 whole'; Substring = 'Kopfh'
           Lines = @('Shown (active): Kopfhörer (NVIDIA High Definition Audio)') }
        @{ Script = 'Detect-ShownEndpoints.ps1'; Case = 'CJK and Cyrillic whole'; Substring = '(Realtek(R) Audio)'
           Lines = @('Shown (active): Speakers (Realtek(R) Audio)', 'Shown (active): 扬声器 (Realtek(R) Audio)'
                     'Shown (active): Динамики (Realtek(R) Audio)') }
        @{ Script = 'Hide-Endpoints.ps1'; Case = 'Latin-1 whole'; Substring = 'Kopfh'
           Lines = @('Playback: Kopfhörer (NVIDIA High Definition Audio) -> DISABLED') }
        @{ Script = 'Hide-Endpoints.ps1'; Case = 'beyond U+00FF as Quorvane''s ?'; Substring = '声'
           Lines = @('Playback: ??? (Realtek(R) Audio) -> DISABLED') }
    ) {
        $run = Invoke-Deployed (New-Deployment $Script 'render' $Substring -WithMark)
        $run.Lines | Select-Object -SkipLast 1 | Should -Be $Lines
    }
}

Describe 'Within what Intune keeps' {
    It '<_> writes at most 2,048 characters, its summary last' -ForEach $Scripts {
        # One name longer than all that room, then 199 long ones.
        $many = @("endpoint render active shown {s0} Speakers $('x' * 3000)") +
            @(1..199 | ForEach-Object { "endpoint render active shown {s$_} Speakers $_ $('y' * 100)" })
        $run = Invoke-Deployed (New-Deployment $_ 'render' 'Speakers' -Lines $many)
        $summary = if ($_ -like 'Detect*') { '200 of 200 render endpoints that match are active and shown: hiding needed.' } else { 'Hid 200 render endpoints.' }
        $run.Lines[-1] | Should -Be $summary
        ($run.Lines | ForEach-Object { $_.Length + 2 } | Measure-Object -Sum).Sum | Should -BeLessOrEqual 2048
        $run.Lines[0] | Should -Match '^\S+.* Speakers x+\.\.\.$'
        # Cut to fill, with its line end, the half of the room that the count's line leaves.
        $run.Lines[0].Length + 2 | Should -Be ([math]::Floor((2048 - ($summary.Length + 2) - 40) / 2))
        $run.Lines -match '^\.\.\. \d+ of 200 lines left out \.\.\.$' | Should -HaveCount 1
        $run.Lines[-2] | Should -Match ' Speakers 199 y+'
    }

    It 'cuts a long line before a character beyond U+FFFF, never inside it' {
        $summary = '200 of 200 render endpoints that match are active and shown: hiding needed.'
        $room = [math]::Floor((2048 - ($summary.Length + 2) - 40) / 2)
        # The headphones' first half stands last in what the cut would keep.
        $before = 'x' * ($room - 5 - 1 - 'Shown (active): Speakers '.Length)
        $many = @("endpoint render active shown {s0} Speakers $before🎧$('x' * 3000)") +
            @(1..199 | ForEach-Object { "endpoint render active shown {s$_} Speakers $_ $('y' * 100)" })
        $run = Invoke-Deployed (New-Deployment 'Detect-ShownEndpoints.ps1' 'render' 'Speakers' -Lines $many)
        $run.Lines[-1] | Should -Be $summary
        $run.Lines[0] | Should -BeExactly "Shown (active): Speakers $before..."
    }

    It 'writes every line whole when they fill 2,048 characters exactly, and cuts at one more' -ForEach @(0, 1) {
        # Ten lines, the last padded so that with the summary they come to 2,048 and one more.
        $lines = @(1..10 | ForEach-Object { "Playback: Speakers $_ -> DISABLED" })
        $summary = 'Hid 10 render endpoints.'
        $used = ($lines | ForEach-Object { $_.Length + 2 } | Measure-Object -Sum).Sum + $summary.Length + 2
        $lines[-1] = "Playback: Speakers 10 $('z' * (2048 - $used + $_ - 1)) -> DISABLED"
        $run = Invoke-Deployed (New-Deployment 'Hide-Endpoints.ps1' 'render' 'Speakers' -Standin @{ Program = 'Quorvane.exe'; Status = 0; Lines = $lines })
        $total = ($run.Lines | ForEach-Object { $_.Length + 2 } | Measure-Object -Sum).Sum
        if ($_ -eq 0) {
            $run.Lines | Should -Be ($lines + $summary)
        } else {
            $total | Should -BeLessOrEqual 2048
            $run.Lines | Should -Not -Contain $lines[-1]
        }
    }
}

Describe 'A 32-bit host' {
    It '<Script> looks under ProgramFiles when ProgramW6432 is unset' -ForEach @(
        @{ Script = 'Detect-ShownEndpoints.ps1'; Status = 1 }
        @{ Script = 'Hide-Endpoints.ps1'; Status = 0 }
    ) {
        $deployment = New-Deployment $Script 'render' 'Speakers'
        $run = Invoke-Deployed $deployment -As32Bit
        $run.Status | Should -Be $Status
        $run.Calls.Count | Should -Be 1
    }
}

# Each recipe of the README and the guides that names the install folder, run
# as a 32-bit PowerShell runs it, with stand-ins for what this machine lacks:
# every path it gives is the 64-bit folder's. (The PATH recipe writes the
# registry, which this machine lacks, and the application control recipes
# need Windows' own cmdlets; those are only parsed, below.)
Describe 'Recipes in a 32-bit host' {
    It 'the <Recipe> recipe names the 64-bit folder' -ForEach @(
        @{ Recipe = 'install'; Pattern = 'Expand-Archive'; Expected = 'ProgramW6432\Quorvane' }
        @{ Recipe = 'import'; Pattern = 'Import-Module "'; Expected = 'ProgramW6432\Quorvane\Quorvane.psd1' }
        @{ Recipe = 'junction'; Pattern = 'New-Item -ItemType Junction'; Expected = 'ProgramW6432\WindowsPowerShell\Modules\Quorvane -> ProgramW6432\Quorvane' }
    ) {
        $readme = Get-Content -Raw -LiteralPath (Join-Path $PSScriptRoot '../../README.md')
        # A recipe stands in a block or, short, in a line of code.
        $recipe = @(Get-ReadmeBlocks) + @([regex]::Matches($readme, '`([^`\n]+)`') | ForEach-Object { $_.Groups[1].Value }) |
            Where-Object { $_.Contains($Pattern) } | Select-Object -First 1
        $recipe | Should -Not -BeNullOrEmpty
        $deployment = New-Deployment 'Hide-Endpoints.ps1' 'render' 'x'
        $seen = New-Object Collections.Generic.List[string]
        function Unblock-File { param($Path) }
        function Expand-Archive { param($Path, $DestinationPath, [switch]$Force) $seen.Add($DestinationPath) }
        function Import-Module { param($Name) $seen.Add($Name) }
        function New-Item { param($ItemType, $Path, $Target) $seen.Add("$Path -> $Target") }
        Invoke-In32BitHost $deployment ([scriptblock]::Create($recipe))
        $root = Join-Path $deployment.Root ''
        @($seen | ForEach-Object { $_.Replace($root, '') }) | Should -BeExactly $Expected
    }

    It 'the captured-output recipe runs the 64-bit folder''s Quorvane and reads its names whole' {
        $recipe = Get-ReadmeBlocks | Where-Object { $_ -match 'GetEncoding\(28591\)' } | Select-Object -First 1
        $deployment = New-Deployment 'Hide-Endpoints.ps1' 'render' 'x'
        $lines = Invoke-In32BitHost $deployment ([scriptblock]::Create($recipe.Replace('\Quorvane', '/Quorvane') + "`n`$lines"))
        $lines | Should -BeExactly 'Playback: Kopfhörer (NVIDIA High Definition Audio) -> DISABLED'
    }
}

# Windows PowerShell 5.1's way of passing arguments, as PowerShell 7 keeps it.
Describe 'Arguments, with <_> argument passing' -ForEach $Passing {
    BeforeAll { $PSNativeCommandArgumentPassing = $_ }

    It 'the guide''s empty argument reaches Quorvane as one, from a 32-bit host' {
        $snippet = Get-ReadmeBlocks | Where-Object { $_ -match '\$empty = ' } | Select-Object -First 1
        $deployment = New-Deployment 'Hide-Endpoints.ps1' 'render' 'x'
        Invoke-In32BitHost $deployment { & ([scriptblock]::Create($snippet.Replace('\', '/'))) | Out-Null }
        $LASTEXITCODE | Should -Be 0
        Get-MachineLines | Should -Be ($Original -replace '^(endpoint render \w+) shown', '$1 hidden')
    }

    # Legacy drops its quotes, so the scripts refuse a substring that holds one.
    It 'a double quote reaches Quorvane as it is, or changed' {
        $deployment = New-Deployment 'Hide-Endpoints.ps1' 'render' 'x'
        $said = & (Join-Path $deployment.Root 'ProgramW6432/Quorvane/Quorvane.exe') enable render 'LG "ULTRAGEAR"'
        $said | Should -Be $(if ($PSNativeCommandArgumentPassing -eq 'Legacy') {
                'Playback: LG ULTRAGEAR (NVIDIA High Definition Audio) -> ENABLED'
            } else { 'No endpoints matched substring "LG "ULTRAGEAR"" in Playback list.' })
    }
}

# The guide's task, registered as a user copies it, with Register-ScheduledTask
# (which this machine lacks) standing in to keep what it is given.
Describe 'The scheduled task in the guide' {
    It 'runs on battery, a minute after start-up and two after event 400, and its arguments hide what they name' {
        $block = Get-ReadmeBlocks | Where-Object { $_ -match 'Register-ScheduledTask' } | Select-Object -First 1
        $deployment = New-Deployment 'Hide-Endpoints.ps1' 'render' 'x'
        $registered = @{}
        function Register-ScheduledTask { param($TaskName, $Xml, $User, [switch]$Force) $registered.Xml = $Xml; $registered.Force = $Force; $registered.User = $User }
        # Registered from a 32-bit PowerShell, the task still names the 64-bit folder.
        Invoke-In32BitHost $deployment ([scriptblock]::Create($block))
        $registered.Force | Should -BeTrue
        $registered.User | Should -Be 'NT AUTHORITY\SYSTEM'
        $task = [xml]$registered.Xml
        $task.Task.NamespaceURI | Should -Be 'http://schemas.microsoft.com/windows/2004/02/mit/task'
        $task.Task.Settings.DisallowStartIfOnBatteries | Should -Be 'false'
        $task.Task.Settings.StopIfGoingOnBatteries | Should -Be 'false'
        $task.Task.Triggers.GetElementsByTagName('BootTrigger').Count | Should -Be 1
        $task.Task.Triggers.BootTrigger.Delay | Should -Be 'PT1M'
        $task.Task.Triggers.EventTrigger.Delay | Should -Be 'PT2M'
        $query = ([xml]$task.Task.Triggers.EventTrigger.Subscription).QueryList.Query.Select
        $query.Path | Should -Be 'Microsoft-Windows-Kernel-PnP/Configuration'
        $query.'#text' | Should -Be '*[System[(EventID=400)]]'
        # The action as Task Scheduler starts it: its command line split by the program's runtime.
        $exec = $task.Task.Actions.Exec
        $exec.Command | Should -Be "`"$(Join-Path $deployment.Root 'ProgramW6432')\Quorvane\Quorvane.exe`""
        $start = [Diagnostics.ProcessStartInfo]::new((Join-Path $deployment.Root 'ProgramW6432/Quorvane/Quorvane.exe'), $exec.Arguments)
        $start.RedirectStandardOutput = $true
        $process = [Diagnostics.Process]::Start($start)
        $null = $process.StandardOutput.ReadToEnd()
        $process.WaitForExit()
        $process.ExitCode | Should -Be 0
        Get-MachineLines | Should -Be ($Original -replace '^(endpoint render \w+) shown (\{(hp|lg)\})', '$1 hidden $2')
    }
}

Describe 'Parsing' {
    # The signature block comes after the shared block, which stays as it is.
    It 'reads <Name> with no errors' -ForEach @(
        foreach ($script in $Scripts) {
            @{ Name = $script; Path = Join-Path $PSScriptRoot ../../admin $script; Source = $null }
            @{ Name = "$script as signed"; Path = Join-Path $env:QUORVANE_TEST_SIGNED $script
               Source = Join-Path $PSScriptRoot ../../admin $script }
        }
    ) {
        $errors = $null
        [void][System.Management.Automation.Language.Parser]::ParseFile($Path, [ref]$null, [ref]$errors)
        $errors | Should -BeNullOrEmpty
        if ($Source) {
            $shared = { ((Get-Content -Raw -LiteralPath $args[0]) -split '# (?:>>>|<<<) Shared')[1] }
            & $shared $Path | Should -BeExactly (& $shared $Source)
        }
    }

    It 'reads every powershell block of the README and the guides with no errors' {
        $blocks = @(Get-ReadmeBlocks)
        $blocks.Count | Should -BeGreaterThan 5
        foreach ($block in $blocks) {
            $errors = $null
            [void][System.Management.Automation.Language.Parser]::ParseInput($block, [ref]$null, [ref]$errors)
            $errors | Should -BeNullOrEmpty -Because $block
        }
    }
}

# The README's hash check, run as a user runs it beside a download whose
# checksum file sha256sum wrote (lower case), and beside one changed byte.
Describe 'The README hash check' {
    It '<Name>' -ForEach @(
        @{ Name = 'passes the zip that its checksum file names'; Changed = $false }
        @{ Name = 'refuses a zip with one byte changed'; Changed = $true }
    ) {
        $check = Get-ReadmeBlocks | Where-Object { $_ -match '^\$expected' } | Select-Object -First 1
        $check | Should -Not -BeNullOrEmpty
        $folder = Join-Path $env:QUORVANE_TEST_WORK "hash-$Changed"
        New-Item -ItemType Directory -Force -Path $folder | Out-Null
        Push-Location $folder
        try {
            $zip = 'Quorvane-VERSION-win64.zip'
            [IO.File]::WriteAllBytes("$folder/$zip", [byte[]](1..200))
            sh -c "sha256sum $zip > $zip.sha256"
            if ($Changed) { [IO.File]::WriteAllBytes("$folder/$zip", [byte[]](2..201)) }
            $run = { & ([scriptblock]::Create($check.Replace('.\', './'))) }
            if ($Changed) { $run | Should -Throw "*not*" } else { & $run | Should -Be 'The zip is the one released.' }
        } finally {
            Pop-Location
        }
    }
}
