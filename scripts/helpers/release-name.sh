#!/bin/sh
# Prints the release's name, that of its zip without .zip, for VERSION (the
# project's version by default), from QUORVANE_RELEASE_NAME in CMakeLists.txt,
# which sets it and nothing else does.
# usage: release-name.sh [VERSION]
set -eu
folder=$(dirname "$0")/../..
version=${1:-$(sh "$folder/scripts/helpers/project-version.sh")}
# shellcheck disable=SC2016 # CMake's variable, as it stands in the file
placeholder='${PROJECT_VERSION}'
template=$(sed -n 's/^set(QUORVANE_RELEASE_NAME \([^ ]*\))$/\1/p' "$folder/CMakeLists.txt")
case "$template" in
  *"$placeholder"*) ;;
  *) echo "release-name.sh: no set(QUORVANE_RELEASE_NAME ...$placeholder...) in CMakeLists.txt" >&2; exit 1 ;;
esac
echo "${template%%"$placeholder"*}$version${template#*"$placeholder"}"
