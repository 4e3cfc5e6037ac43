#!/bin/sh
# The fleet scripts (tests/admin) and the module (tests/module) in PowerShell 7
# with Pester, against the real executables of a build folder under Wine and a
# simulated machine, and the signed copies that the folder's signed-release
# test left.
# usage: powershell_test.sh BUILD_FOLDER [PESTER_PATH...]   (both folders by default)
# PowerShell and Pester come from scripts/install-deps.sh powershell, which
# installs them where the .NET SDK is present; without them this says so and
# passes.
set -eu
cd "$(dirname "$0")/.."
tools=$PWD/build/tools
if ! [ -x "$tools/pwsh" ]; then
  echo "PowerShell: NOT TESTED: no PowerShell in build/tools. Install the .NET SDK, then"
  echo "  scripts/install-deps.sh powershell && sh tests/powershell_test.sh $1"
  exit 0
fi
# PowerShell finds its own modules through the mount table: where / is no
# mount point (a plain chroot, unlike a machine or a container) it finds none,
# not even the one that holds Get-ChildItem, and could run nothing here.
if ! mountpoint -q /; then
  echo "PowerShell: NOT TESTED: / is not a mount point here (a plain chroot), where PowerShell finds none of its own modules"
  exit 0
fi
build=$(cd "$1" && pwd)
shift
paths=$(if [ $# -eq 0 ]; then echo "'tests/admin', 'tests/module'"; else printf "'%s', " "$@" | sed 's/, $//'; fi)
work=$build/admin-test
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX="$build/wineprefix-admin"
# shellcheck source=scripts/helpers/wine-environment.sh
. scripts/helpers/wine-environment.sh
sh scripts/helpers/wine-prefix.sh start "$WINEPREFIX" "$build/QuorvaneAudioSimulator.dll" >/dev/null
trap 'sh scripts/helpers/wine-prefix.sh stop "$WINEPREFIX" >/dev/null' EXIT
QUORVANE_TEST_MACHINE=$work/machine.txt
QUORVANE_SIMULATOR_MACHINE=$(winepath -w "$QUORVANE_TEST_MACHINE")
# Deployments go under the work folder. Not through TMPDIR: Wine keeps its
# server's socket under it, so the tools would start a second wineserver that
# reads the prefix from disk, without the simulator's classes.
QUORVANE_TEST_SIGNED=$build/signed-release/a/$(sh scripts/helpers/release-name.sh)
QUORVANE_TEST_PROGRAMS=$(sh scripts/helpers/release-files.sh programs | tr '\n' ' ')
QUORVANE_TEST_VERSION=$(sh scripts/helpers/project-version.sh)
export QUORVANE_TEST_BUILD="$build" QUORVANE_TEST_WORK="$work" QUORVANE_TEST_MACHINE QUORVANE_SIMULATOR_MACHINE \
  QUORVANE_TEST_SIGNED QUORVANE_TEST_PROGRAMS QUORVANE_TEST_VERSION QUORVANE_TEST_PWSH="$tools/pwsh"
pester=$(ls "$tools"/pester/*/tools/Pester.psd1)
"$tools/pwsh" -NoProfile -NonInteractive -Command "
  Import-Module '$pester'
  \$configuration = New-PesterConfiguration
  \$configuration.Run.Path = @($paths)
  \$configuration.Run.Exit = \$true
  \$configuration.Output.Verbosity = 'Detailed'
  Invoke-Pester -Configuration \$configuration"
