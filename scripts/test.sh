#!/bin/sh
# Builds Quorvane and every test program for Windows x64 with g++ and with clang,
# runs all tests under Wine (clang's unit tests under the undefined-behaviour
# sanitizer), builds and tries the demo from an empty folder as a new
# user's scripts/run.sh does, and checks the house style and that the release
# package is reproducible.
# Three chains run side by side, since Wine's tests mostly wait and the builds
# use both cores only part of the time: the house checks; the g++ build, the
# demo, the g++ tests and the reproducibility check; the clang workflow, whose
# unit tests run sanitized, and the fleet scripts and the module in PowerShell
# with Pester on its build.
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
chain style ./scripts/checks/house-checks.sh &
style=$!
# The demo's build, made from scratch in a folder of its own, is also the
# rebuild from source that the signed-release test and the reproducibility
# check compare the g++ build's release with.
chain gcc "cmake --preset mingw" "cmake --build --preset mingw" "sh tests/demo_test.sh '$PWD' build/demo-test" \
  "QUORVANE_VERIFY_BUILD='$PWD/build/demo-test' ctest --preset mingw" \
  "./scripts/checks/check-reproducible.sh build/demo-test" &
gcc=$!
chain clang "./scripts/install-deps.sh powershell" "cmake --workflow --preset clang" \
  "sh tests/powershell_test.sh build/clang" &
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
