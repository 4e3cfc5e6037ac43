#!/bin/sh
# The version is set once, in project(VERSION) in CMakeLists.txt. Fails when a
# document names another as the current one: any x.y.z in README.md and
# SECURITY.md (the winget manifest schema's own version aside), SECURITY.md's
# supported line, and CHANGELOG.md's newest section, its heading and the text
# above it. The older sections of CHANGELOG.md are history and stay as written.
# usage: check-version-mentions.sh [FOLDER]
#   FOLDER holds CMakeLists.txt and the documents; the tree's by default.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
docs=${1:-$root}
version=$(sh "$root/scripts/helpers/project-version.sh" "$docs")
schema=$(sed -n 's/^ManifestVersion: //p' "$root/cmake/manifests/Quorvane.Quorvane.yaml.in")
failed=0
cd "$docs"
# CHANGELOG.md up to the second section: the newest is the current release.
current_changelog=$(mktemp)
trap 'rm -f "$current_changelog"' EXIT
awk '/^## / { sections++ } sections < 2' CHANGELOG.md >"$current_changelog"
# An x.y.z may end a sentence; a fourth part makes it something else.
stale=$(grep -n -o -P '(?<!\d\.)(?<![\d{])\d+\.\d+\.\d+(?!\.?\d)' README.md SECURITY.md "$current_changelog" |
  sed "s|^$current_changelog:|CHANGELOG.md:|" | grep -v -E ":($version|$schema)\$" || true)
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
