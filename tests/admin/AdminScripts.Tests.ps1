# The fleet scripts as an admin deploys them: a copy with its two settings lines
# edited, the tools in a Quorvane folder under ProgramW6432, and each script run
# whole, its exit status taken as the caller sees it. The tools there are wrappers that note
# each call and run the real executables under Wine against a simulated machine.
# Run by tests/admin_scripts_test.sh, which sets the environment read here.

BeforeDiscovery {
    $Scripts = @('Detect-ShownEndpoints.ps1', 'Hide-Endpoints.ps1')
}

BeforeAll {
    $Build = $env:QUORVANE_TEST_BUILD        # the built executables
    $Machine = $env:QUORVANE_TEST_MACHINE    # the machine file the simulator reads
    $Admin = Join-Path $PSScriptRoot '../../admin'
    $Original = @(
        'endpoint render active shown {spk} Speakers (Realtek(R) Audio)'
        'endpoint render active shown {hp} Kopfhörer (NVIDIA High Definition Audio)'
        'endpoint render unplugged shown {lg} LG ULTRAGEAR (NVIDIA High Definition Audio)'
        'endpoint render active shown {cn} 扬声器 (Realtek(R) Audio)'
        'endpoint capture active shown {mic} Microphone (NVIDIA High Definition Audio)'
    )

    # A fresh deployment: the machine as it first was, the tools (unless left
    # out) in ProgramW6432\Quorvane, and a copy of the script set as given.
    function New-Deployment([string]$Script, [string]$Flow, [string]$Substring, [switch]$WithoutTools) {
        Set-Content -LiteralPath $Machine -Value $Original -Encoding utf8NoBOM
        $root = Join-Path $env:QUORVANE_TEST_WORK ([IO.Path]::GetRandomFileName())
        $folder = Join-Path $root 'ProgramW6432/Quorvane'
        New-Item -ItemType Directory -Path $folder | Out-Null
        $calls = Join-Path $root 'calls.txt'
        if (-not $WithoutTools) {
            foreach ($tool in 'Quorvane.exe', 'QuorvaneList.exe') {
                $wrapper = Join-Path $folder $tool
                Set-Content -LiteralPath $wrapper -Value @(
                    '#!/bin/sh'
                    "echo `"$tool `$*`" >>'$calls'"
                    "exec wine '$(Join-Path $Build $tool)' `"`$@`""
                )
                chmod +x $wrapper
            }
        }
        $quoted = { param($text) "'" + $text.Replace("'", "''") + "'" }
        $copy = Join-Path $root $Script
        $lines = Get-Content -LiteralPath (Join-Path $Admin $Script)
        $lines = $lines -replace '^\$Flow = .*$', "`$Flow = $(& $quoted $Flow)"
        $lines = $lines -replace '^\$Substring = .*$', "`$Substring = $(& $quoted $Substring)"
        Set-Content -LiteralPath $copy -Value $lines
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

    # The text of every powershell block of README.md, in order.
    function Get-ReadmeBlocks {
        $readme = Get-Content -Raw -LiteralPath (Join-Path $PSScriptRoot '../../README.md')
        [regex]::Matches($readme, '(?ms)^```powershell\r?\n(.*?)^```') | ForEach-Object { $_.Groups[1].Value }
    }

    # A run's exit status and its output lines, exactly.
    function Assert-Run($Run, [int]$Status, [object[]]$Lines) {
        $Run.Status | Should -Be $Status
        $Run.Lines | Should -Be $Lines
    }
}

Describe 'The cycle settles' {
    It 'detects, hides, then detects nothing left, twice' {
        $detect = New-Deployment 'Detect-ShownEndpoints.ps1' 'render' 'NVIDIA High Definition Audio'
        $hide = New-Deployment 'Hide-Endpoints.ps1' 'render' 'NVIDIA High Definition Audio'
        $first = Invoke-Deployed $detect
        Assert-Run $first 1 @(
            'Shown (active): Kopfhörer (NVIDIA High Definition Audio)'
            'Shown (unplugged): LG ULTRAGEAR (NVIDIA High Definition Audio)')

        $remedied = Invoke-Deployed $hide
        Assert-Run $remedied 0 @(
            'Playback: Kopfhörer (NVIDIA High Definition Audio) -> DISABLED'
            'Playback: LG ULTRAGEAR (NVIDIA High Definition Audio) -> DISABLED')
        Get-MachineLines | Should -Be ($Original -replace '^(endpoint render \w+) shown (\{(hp|lg)\})', '$1 hidden $2')

        foreach ($again in 1, 2) {
            $settled = Invoke-Deployed $detect
            Assert-Run $settled 0 "None of the 2 render endpoints whose names contain 'NVIDIA High Definition Audio' is active and shown."
        }
    }

    It 'counts an endpoint that is not active as not shown, and names it' {
        $detect = New-Deployment 'Detect-ShownEndpoints.ps1' 'render' 'LG ULTRAGEAR'
        $run = Invoke-Deployed $detect
        Assert-Run $run 0 @(
            'Shown (unplugged): LG ULTRAGEAR (NVIDIA High Definition Audio)'
            "None of the 1 render endpoints whose names contain 'LG ULTRAGEAR' is active and shown.")
    }
}

Describe 'Nothing matches' {
    It '<Script> exits <Status> and changes nothing' -ForEach @(
        @{ Script = 'Detect-ShownEndpoints.ps1'; Status = 0
           Lines = @("No render endpoint's name contains 'Sony': nothing to hide. Is the substring right?") }
        @{ Script = 'Hide-Endpoints.ps1'; Status = 2
           Lines = @('No endpoints matched substring "Sony" in Playback list.') }
    ) {
        $run = Invoke-Deployed (New-Deployment $Script 'render' 'Sony')
        Assert-Run $run $Status $Lines
        Get-MachineLines | Should -Be $Original
    }
}

Describe 'Bad settings are refused before any tool runs' {
    It '<Script> refuses <Case>' -ForEach @(
        foreach ($script in $Scripts) {
            @{ Script = $script; Case = 'a wrong flow'; Flow = 'output'; Substring = 'NVIDIA'
               Line = "Flow 'output' is none of render, playback, capture, recording or record." }
            @{ Script = $script; Case = 'an empty substring'; Flow = 'render'; Substring = ''
               Line = 'Substring is empty or blank: set it to a piece of the names to hide.' }
            @{ Script = $script; Case = 'a blank substring'; Flow = 'render'; Substring = " `t "
               Line = 'Substring is empty or blank: set it to a piece of the names to hide.' }
            @{ Script = $script; Case = 'a double quote'; Flow = 'render'; Substring = 'LG "ULTRAGEAR"'
               Line = "Substring 'LG `"ULTRAGEAR`"' holds a double quote or ends in a backslash, which Windows PowerShell 5.1 passes on wrongly." }
            @{ Script = $script; Case = 'a final backslash'; Flow = 'render'; Substring = 'Audio\'
               Line = "Substring 'Audio\' holds a double quote or ends in a backslash, which Windows PowerShell 5.1 passes on wrongly." }
        }
    ) {
        $deployment = New-Deployment $Script $Flow $Substring
        $run = Invoke-Deployed $deployment
        Assert-Run $run 1 @($Line)
        $run.Calls | Should -BeNullOrEmpty
        Get-MachineLines | Should -Be $Original
    }
}

Describe 'The tools cannot answer' {
    It '<Script> without the tools exits 1 and says which is missing' -ForEach @(
        @{ Script = 'Detect-ShownEndpoints.ps1'; Tool = 'QuorvaneList.exe'; Extra = 1 }
        @{ Script = 'Hide-Endpoints.ps1'; Tool = 'Quorvane.exe'; Extra = 0 }
    ) {
        $deployment = New-Deployment $Script 'render' 'NVIDIA' -WithoutTools
        $run = Invoke-Deployed $deployment
        $run.Status | Should -Be 1
        $run.Lines[0] | Should -Be "$Tool is not in $(Join-Path $deployment.Root 'ProgramW6432/Quorvane')"
        $run.Lines.Count | Should -Be (1 + $Extra)
    }

    It 'detection exits 1 with the listing''s own lines when it cannot ask' {
        $deployment = New-Deployment 'Detect-ShownEndpoints.ps1' 'render' 'NVIDIA'
        Set-Content -LiteralPath $Machine -Value 'endpoint rendr active shown {x} Broken' -Encoding utf8NoBOM
        $run = Invoke-Deployed $deployment
        $run.Status | Should -Be 1
        $run.Lines[0] | Should -Match '^MMDeviceEnumerator CoCreateInstance failed \(hr=0x[0-9A-F]{8}\)$'
        $run.Lines[-1] | Should -Be 'QuorvaneList.exe could not list the endpoints (status 2).'
    }
}

Describe 'Names' {
    It '<Script> shows <Case>' -ForEach @(
        @{ Script = 'Detect-ShownEndpoints.ps1'; Case = 'Latin-1 whole'; Substring = 'Kopfh'
           Line = 'Shown (active): Kopfhörer (NVIDIA High Definition Audio)' }
        @{ Script = 'Hide-Endpoints.ps1'; Case = 'Latin-1 whole'; Substring = 'Kopfh'
           Line = 'Playback: Kopfhörer (NVIDIA High Definition Audio) -> DISABLED' }
        @{ Script = 'Detect-ShownEndpoints.ps1'; Case = 'beyond U+00FF as the tools'' ?'; Substring = '声'
           Line = 'Shown (active): ??? (Realtek(R) Audio)' }
        @{ Script = 'Hide-Endpoints.ps1'; Case = 'beyond U+00FF as the tools'' ?'; Substring = '声'
           Line = 'Playback: ??? (Realtek(R) Audio) -> DISABLED' }
    ) {
        $run = Invoke-Deployed (New-Deployment $Script 'render' $Substring)
        $run.Lines[0] | Should -Be $Line
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

Describe 'Parsing' {
    It 'reads <Name> with no errors' -ForEach @(
        foreach ($script in $Scripts) { @{ Name = $script; Path = "admin/$script" } }
    ) {
        $errors = $null
        [void][System.Management.Automation.Language.Parser]::ParseFile(
            (Join-Path $PSScriptRoot '../..' $Path), [ref]$null, [ref]$errors)
        $errors | Should -BeNullOrEmpty
    }

    It 'reads every powershell block of README.md with no errors' {
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
