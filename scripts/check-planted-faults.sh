#!/bin/sh
# Plants each fault listed in scripts/planted-faults.txt in turn, builds the g++
# build and runs only the tests that can see a fault in that file, then puts the
# source back; fails when a fault does not build or the tests let it through.
# Product code: the in-process unit tests and, when they pass, the process
# tests; resources/ and cmake/: the process tests (the executable image) and the
# release tests. Takes about a quarter of an hour, so CI does not run it.
# usage: check-planted-faults.sh [--only TEXT]
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh test python3
cmake --preset mingw >/dev/null
cmake --build --preset mingw >/dev/null
# The suite must pass before anything is planted.
ctest --preset mingw >/dev/null
# The signed executables of that run stay for the process tests: re-signing is
# for the faults in the release's own files.
# shellcheck disable=SC2016 # expanded by the shell that runs each test
exec python3 scripts/plant-faults.py scripts/planted-faults.txt "$@" \
  --build 'cmake --build --preset mingw' \
  --test 'case "$FAULT_FILE" in
    resources/* | cmake/*) ctest --preset mingw -R "^(process|signed_release|release_manifests)$" ;;
    tests/*) ctest --preset mingw -R "^unit$" ;;
    *) ctest --preset mingw -R "^unit$" && ctest --preset mingw -FS signed_release -R "^process$" ;;
  esac'
