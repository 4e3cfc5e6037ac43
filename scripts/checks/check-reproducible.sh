#!/bin/sh
# Builds the release package in two separate build folders and checks that the
# executables and the zips are byte for byte the same: the g++ test build's
# (build/mingw) and a fresh one without tests, build/reproducible, or the one
# named, such as the demo's build from scratch that scripts/test.sh names.
# usage: check-reproducible.sh [FRESH_BUILD_FOLDER]
set -eu
cd "$(dirname "$0")/../.."
fresh=${1:-build/reproducible}
[ -f build/mingw/CMakeCache.txt ] || cmake --preset mingw >/dev/null
[ -f "$fresh/CMakeCache.txt" ] || cmake --preset mingw -B "$fresh" >/dev/null -DQUORVANE_BUILD_TESTS=OFF
for build in build/mingw "$fresh"; do
  # Unsigned, whatever the environment names.
  env -u QUORVANE_SIGNING_CERTIFICATE cmake --build "$build" --target release-package >/dev/null
done
failed=0
# The executables and the zip that holds them; its checksum file follows from it.
for file in $(sh scripts/helpers/release-files.sh programs) "release/$(sh scripts/helpers/release-name.sh).zip"; do
  if cmp "build/mingw/$file" "$fresh/$file"; then
    echo "reproducible: $file"
  else
    failed=1
  fi
done
[ "$failed" -eq 0 ] && echo "Two builds of this commit gave the same release package."
exit $failed
