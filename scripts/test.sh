#!/bin/sh
# Builds Quorvane and every test program for Windows x64 with g++ and with clang,
# runs all tests under Wine (the unit tests once more under the undefined-
# behaviour sanitizer), tries the demo as a new user would, and checks the house
# style and that the release package is reproducible.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh test
./scripts/check-style.sh
cmake --workflow --preset mingw
cmake --workflow --preset clang
cmake --workflow --preset clang-ubsan
sh tests/demo_test.sh "$PWD" build/demo-test
./scripts/check-reproducible.sh
