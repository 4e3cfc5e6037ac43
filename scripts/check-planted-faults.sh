#!/bin/sh
# Plants each fault listed in scripts/planted-faults.txt in turn, runs the g++
# build's tests against it and puts the source back; fails when the tests let
# a fault through. Takes about ten minutes, so CI does not run it.
# usage: check-planted-faults.sh [--only TEXT]
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh test python3
cmake --preset mingw >/dev/null
cmake --build --preset mingw >/dev/null
# The suite must pass before anything is planted.
ctest --preset mingw >/dev/null
exec python3 scripts/plant-faults.py scripts/planted-faults.txt "$@" -- sh -c \
  'cmake --build --preset mingw >/dev/null 2>&1 && ctest --preset mingw >/dev/null 2>&1'
