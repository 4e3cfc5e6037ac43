#!/bin/sh
# Builds Quorvane and every test program for Windows x64 with g++ and with clang,
# runs all tests under Wine (clang's unit tests under the undefined-behaviour
# sanitizer), builds and tries the demo from an empty folder as a new
# user's scripts/run.sh does, and checks the house style and that the release
# package is reproducible.
# Three chains run side by side, since Wine's tests mostly wait and the builds
# use both cores only part of the time: the house checks; the g++ workflow, the
# demo and the reproducibility check; the clang workflow, whose unit tests run
# sanitized, and the fleet scripts in PowerShell with Pester on its build.
# Each step says how long it took; each chain's output follows.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh test
logs=build/test-logs
rm -rf "$logs"
mkdir -p "$logs"

# Runs its commands one after another while they pass, each timed, into one log.
chain() {
  log=$logs/$1.log
  shift
  for command in "$@"; do
    started=$(date +%s)
    if ! sh -c "$command" >>"$log" 2>&1; then
      echo "test.sh: FAILED after $(($(date +%s) - started)) s: $command"
      return 1
    fi
    echo "test.sh: $command took $(($(date +%s) - started)) s"
  done
}
started=$(date +%s)
chain style ./scripts/checks/check-style.sh &
style=$!
# The reproducibility check compares the g++ build with the signed-release
# test's rebuild from source, a second build folder made from scratch.
chain gcc "cmake --workflow --preset mingw" "sh tests/demo_test.sh '$PWD' build/demo-test" \
  "./scripts/checks/check-reproducible.sh build/mingw/signed-release/rebuilt" &
gcc=$!
chain clang "cmake --workflow --preset clang" "sh tests/admin_scripts_test.sh build/clang" &
clang=$!
failed=0
for chain in $style $gcc $clang; do
  wait "$chain" || failed=1
done
for log in style gcc clang; do
  echo "=== $log"
  cat "$logs/$log.log"
done
echo "test.sh: all three chains took $(($(date +%s) - started)) s"
exit $failed
