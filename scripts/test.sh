#!/bin/sh
# Builds Quorvane and every test program for Windows x64, then runs all tests under Wine.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
exec cmake --workflow --preset mingw
