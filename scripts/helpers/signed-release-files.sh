#!/bin/sh
# Prints each file that cmake/release-files.txt of this checkout marks signed,
# one a line: its name in the zip and where it comes from ("build" for a
# program of the build folder, otherwise a path in the source).
set -eu
awk '!/^#/ && $3 == "signed" { print $1, $2 }' "$(dirname "$0")/../../cmake/release-files.txt"
