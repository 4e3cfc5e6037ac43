#!/bin/sh
# CHANGELOG.md's sections name releases, and its newest is the project's
# version, the one project(VERSION) in CMakeLists.txt sets. With a tag, as the
# release job runs it, that section must also be the tag's and dated
# ("## x.y.z — YYYY-MM-DD", not "unreleased").
# usage: check-changelog.sh [TAG]
set -eu
cd "$(dirname "$0")/../.."
version=$(sh scripts/helpers/project-version.sh)
newest=$(grep -m 1 '^## ' CHANGELOG.md)
fail() { echo "::error::CHANGELOG.md: $*"; exit 1; }
case "$newest" in
  "## $version "*) ;;
  *) fail "the newest section, '$newest', is not the project's version, $version" ;;
esac
if [ $# -eq 0 ]; then
  echo "CHANGELOG.md's newest section is $version."
  exit 0
fi
[ "$1" = "v$version" ] || fail "the tag $1 is not v$version"
printf '%s\n' "$newest" | grep -q -E " — [0-9]{4}-[0-9]{2}-[0-9]{2}\$" ||
  fail "no dated section for $version: write '## $version — YYYY-MM-DD' before tagging"
echo "CHANGELOG.md dates $version."
