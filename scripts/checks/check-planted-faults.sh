#!/bin/sh
# Plants each fault listed in scripts/checks/planted-faults.txt in turn, builds the g++
# build and runs only the tests that can see a fault in that file, then puts the
# source back; fails when a fault does not build or the tests let it through.
# Product code: the in-process unit tests and, when they pass, the process and
# terminal tests; resources/ and cmake/: the process tests (the executable
# image) and the release tests; the PowerShell module and the fleet scripts:
# their Pester suites; the README and the guides, whose recipes those suites
# run: both. See the README's development guide for how long it
# takes; CI does not run it.
# usage: check-planted-faults.sh [--only TEXT]
set -eu
# With no locale at all, as a CI step has none: the tests set Wine's own.
unset LANG LANGUAGE LC_ALL LC_CTYPE LC_MESSAGES
cd "$(dirname "$0")/../.."
./scripts/install-deps.sh test
./scripts/install-deps.sh powershell
cmake --preset mingw >/dev/null
cmake --build --preset mingw >/dev/null
# The suite must pass before anything is planted.
ctest --preset mingw >/dev/null
# The signed executables of that run stay for the process tests, and one
# simulated prefix serves every fault's tests; re-signing is for the faults in
# the release's own files.
prefix=$PWD/build/mingw/wineprefix-simulated
sh scripts/helpers/wine-prefix.sh start "$prefix" "$PWD/build/mingw/QuorvaneAudioSimulator.dll" >/dev/null
trap 'sh scripts/helpers/wine-prefix.sh stop "$prefix" >/dev/null' EXIT
# shellcheck disable=SC2016 # expanded by the shell that runs each test
python3 scripts/checks/plant-faults.py scripts/checks/planted-faults.txt "$@" \
  --build 'cmake --build --preset mingw --target unit process' \
  --test 'tests() { ctest --preset mingw --fixture-exclude-any ".*" -R "$1"; }
  case "$FAULT_FILE" in
    module/*) sh tests/powershell_test.sh build/mingw tests/module ;;
    admin/*) sh tests/powershell_test.sh build/mingw tests/admin ;;
    README.md | docs/*) sh tests/powershell_test.sh build/mingw ;;
    resources/* | cmake/*) tests "^(signed_release|process|release_manifests)$" ;;
    tests/*) tests "^unit$" ;;
    *) tests "^unit$" && tests "^(process|console)$" ;;
  esac'
