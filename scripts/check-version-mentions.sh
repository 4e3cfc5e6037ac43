#!/bin/sh
# The version is set once, in project(VERSION) in CMakeLists.txt. Fails when the
# documents say another: every x.y.z in README.md, SECURITY.md and CHANGELOG.md
# (the winget manifest schema's own version aside), SECURITY.md's supported
# line and CHANGELOG.md's newest section.
# usage: check-version-mentions.sh [FOLDER]   (the documents' folder; the tree's by default)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
docs=${1:-$root}
version=$(sed -n 's/^project(Quorvane VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
schema=$(sed -n 's/^ManifestVersion: //p' "$root/cmake/manifests/Quorvane.Quorvane.yaml.in")
failed=0
cd "$docs"
stale=$(grep -n -o -P '(?<![\d.{])\d+\.\d+\.\d+(?![\d.])' README.md SECURITY.md CHANGELOG.md |
  grep -v -E ":($version|$schema)\$" || true)
if [ -n "$stale" ]; then
  printf '%s\n' "$stale" | sed "s/\$/ (not the project version $version)/"
  failed=1
fi
supported="| ${version%.*}.x | yes |"
grep -q -x -F "$supported" SECURITY.md || { echo "SECURITY.md: no line '$supported'"; failed=1; }
newest=$(grep -m 1 '^## ' CHANGELOG.md)
case "$newest" in
  "## $version "*) ;;
  *) echo "CHANGELOG.md: the newest section, '$newest', is not $version"; failed=1 ;;
esac
exit $failed
