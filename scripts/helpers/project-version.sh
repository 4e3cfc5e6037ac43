#!/bin/sh
# Prints the project's version, which project(VERSION) in CMakeLists.txt sets
# and nothing else does.
# usage: project-version.sh [FOLDER]   (the tree holding CMakeLists.txt; this one by default)
set -eu
folder=${1:-$(dirname "$0")/../..}
version=$(sed -n 's/^project(Quorvane VERSION \([0-9.]*\).*/\1/p' "$folder/CMakeLists.txt")
[ -n "$version" ] || { echo "project-version.sh: no project(Quorvane VERSION x.y.z) in $folder/CMakeLists.txt" >&2; exit 1; }
echo "$version"
