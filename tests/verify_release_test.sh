#!/bin/sh
# scripts/verify-release.sh on the package that the signed release test signed
# with its throwaway authority: the release matches its source, and the same
# package with one byte of code changed must not, naming that byte.
# usage: verify_release_test.sh BUILD_FOLDER SOURCE_FOLDER VERSION
set -eu
build=$1
source=$2
version=$3
package=Quorvane-$version-win64
work=$build/verify-release
rm -rf "$work"
mkdir -p "$work/tampered"
fail() { echo "verify release: $*"; exit 1; }
verify() { sh "$source/scripts/verify-release.sh" --source "$source" "$1" >"$2" 2>&1; }

verify "$build/signed-release/a/$package.zip" "$work/match.log" || { cat "$work/match.log"; fail "the signed package does not match"; }
grep -q '^MATCH: ' "$work/match.log" || fail "$(cat "$work/match.log")"

cd "$work/tampered"
unzip -q "$build/signed-release/a/$package.zip"
text=$(x86_64-w64-mingw32-objdump -h Quorvane.exe | awk '$2 == ".text" { print $6 }')
at=$((0x$text + 64))
original=$(od -A n -t u1 -j "$at" -N 1 Quorvane.exe | tr -d ' ')
# int3 in place of whatever was there, or a nop where int3 already was.
if [ "$original" = 204 ]; then printf '\220'; else printf '\314'; fi | dd of=Quorvane.exe bs=1 seek="$at" conv=notrunc 2>/dev/null
zip -X -q "../$package.zip" Quorvane.exe README.md LICENSE.txt
if verify "$work/$package.zip" "$work/mismatch.log"; then fail "a changed byte still matches"; fi
grep -q "^MISMATCH: .*, first at offsets .*$(printf '0x%X' "$at") " "$work/mismatch.log" ||
  fail "$(cat "$work/mismatch.log")"
echo "Verify release: the signed package matches its source; a changed byte is found where it is."
