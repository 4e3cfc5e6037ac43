#!/bin/sh
# Reads cmake/release-files.txt of this checkout, the one list of the release's
# files, for the release scripts and the tests.
# usage: release-files.sh signed     each file the release signs, one a line:
#                                    its name in the zip and where it comes from
#                                    ("build" for a file of the build folder,
#                                    otherwise a path in the source)
#        release-files.sh programs   each program the build makes, one a line
set -eu
list=$(dirname "$0")/../../cmake/release-files.txt
case "${1:-}" in
  signed) awk '!/^#/ && $3 == "signed" { print $1, $2 }' "$list" ;;
  programs) awk '!/^#/ && $1 ~ /\.exe$/ && $2 == "build" { print $1 }' "$list" ;;
  *) echo "usage: release-files.sh signed|programs" >&2; exit 64 ;;
esac
