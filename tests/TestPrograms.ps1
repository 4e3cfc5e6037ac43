# What both Pester suites install in place of the programs, dot-sourced by
# each. Run by tests/powershell_test.sh, which sets QUORVANE_TEST_BUILD and
# QUORVANE_TEST_PROGRAMS, the programs the release's list names.

# The programs in $Folder: each a wrapper that notes its start in $Calls and
# runs the real executable under Wine, or, where $Standin names it (Program,
# Status, Lines), a stand-in that prints those lines and exits with that status;
# those named in $Without are left out.
function Install-TestPrograms([string]$Folder, [string]$Calls, [hashtable]$Standin = @{}, [string[]]$Without = @()) {
    foreach ($program in -split $env:QUORVANE_TEST_PROGRAMS | Where-Object { $Without -notcontains $_ }) {
        $run = if ($Standin.Program -eq $program) {
            "printf '%s\r\n' $(@($Standin.Lines | ForEach-Object { "'$_'" }) -join ' ')", "exit $($Standin.Status)"
        } else { "exec wine '$(Join-Path $env:QUORVANE_TEST_BUILD $program)' `"`$@`"" }
        Set-Content -LiteralPath (Join-Path $Folder $program) -Value (@('#!/bin/sh', "echo `"$program`" >>'$Calls'") + $run)
        chmod +x (Join-Path $Folder $program)
    }
}
