#!/bin/sh
# Refuses to release a version that CHANGELOG.md does not date: its section
# must read "## x.y.z — YYYY-MM-DD", not "unreleased".
# usage: check-changelog.sh TAG
set -eu
cd "$(dirname "$0")/../.."
version=${1#v}
if ! grep -q -E "^## $(printf '%s' "$version" | sed 's/\./\\./g') — [0-9]{4}-[0-9]{2}-[0-9]{2}\$" CHANGELOG.md; then
  echo "::error::CHANGELOG.md has no dated section for $version: write '## $version — YYYY-MM-DD' before tagging"
  exit 1
fi
echo "CHANGELOG.md dates $version."
