#!/bin/sh
# Builds the release package twice, in two separate build folders, and checks
# that the executables, the zips and their checksums are byte for byte the same.
set -eu
cd "$(dirname "$0")/.."
for build in a b; do
  cmake --preset mingw -B "build/reproducible-$build" -DQUORVANE_BUILD_TESTS=OFF >/dev/null
  cmake --build "build/reproducible-$build" --target release-package >/dev/null
done
version=$(sed -n 's/^project(Quorvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
failed=0
# The executables and the zip that holds them; its checksum file follows from it.
for file in Quorvane.exe QuorvaneList.exe "release/Quorvane-$version-win64.zip"; do
  if cmp "build/reproducible-a/$file" "build/reproducible-b/$file"; then
    echo "reproducible: $file"
  else
    failed=1
  fi
done
[ "$failed" -eq 0 ] && echo "Two builds of this commit gave the same release package."
exit $failed
