#!/bin/sh
# Builds Quorvane and every test program for Windows x64 with g++ and with clang,
# runs all tests under Wine (the unit tests once more under the undefined-
# behaviour sanitizer), tries the demo as a new user would, and checks the house
# style and that the release package is reproducible. Says how long each took.
set -eu
cd "$(dirname "$0")/.."
step() {
  started=$(date +%s)
  "$@"
  echo "test.sh: $* took $(($(date +%s) - started)) s"
}
step ./scripts/install-deps.sh test
step ./scripts/check-style.sh
step cmake --workflow --preset mingw
step cmake --workflow --preset clang
step cmake --workflow --preset clang-ubsan
step sh tests/demo_test.sh "$PWD" build/demo-test
step ./scripts/check-reproducible.sh
