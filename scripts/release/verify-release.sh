#!/bin/sh
# Checks a signed release against its source: rebuilds the executables from the
# release's tag (or from the source folder given), takes the signature off
# every file the release signs (its programs, fleet scripts and module files,
# as the source's cmake/release-files.txt names them), and compares each byte
# for byte with the one built, or the file in the source.
# usage: scripts/release/verify-release.sh [--source FOLDER] [--build FOLDER] RELEASE.zip
# RELEASE is the release's name for its version, as scripts/helpers/release-name.sh
# gives it (Quorvane-VERSION-win64).
# Without --source, the tag vVERSION is taken from this checkout (git fetch
# --tags first). Needs the packages `scripts/install-deps.sh build` installs,
# plus git, unzip and osslsigncode. Exits 0 when they match and 1 when not.
# --build keeps the build of the source in FOLDER, so that checking another zip
# against the same source does not build it again.
set -eu
source=""
build=""
while [ $# -gt 1 ]; do
  case "$1" in
    --source) source=$(cd "$2" && pwd) ;;
    --build) build=$2 ;;
    *) break ;;
  esac
  shift 2
done
release_name() { sh "$(dirname "$0")/../helpers/release-name.sh" "$@"; }
[ $# -eq 1 ] || { echo "usage: verify-release.sh [--source FOLDER] [--build FOLDER] $(release_name VERSION).zip" >&2; exit 64; }
zip=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
# The version is what stands where the name's template has VERSION.
template=$(release_name VERSION)
version=$(basename "$zip" .zip)
version=${version#"${template%%VERSION*}"}
version=${version%"${template#*VERSION}"}
case "$version" in
  [0-9]*) [ "$(release_name "$version").zip" = "$(basename "$zip")" ] || version="" ;;
  *) version="" ;;
esac
[ -n "$version" ] || { echo "verify-release.sh: $1 is not named $template.zip" >&2; exit 64; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build=${build:-$work/build}
case "$build" in /*) ;; *) build=$PWD/$build ;; esac

if [ -z "$source" ]; then
  source=$work/source
  git clone --quiet --branch "v$version" "$(git -C "$(dirname "$0")" rev-parse --show-toplevel)" "$source"
fi
programs=$(sh "$source/scripts/helpers/release-files.sh" programs | sed 's/\.exe$//')
echo "Building the programs from $source ..."
# shellcheck disable=SC2086 # one word per program
(cd "$source" && cmake --preset mingw -B "$build" -DQUORVANE_BUILD_TESTS=OFF >"$work/build.log" 2>&1 &&
  cmake --build "$build" --target $programs >>"$work/build.log" 2>&1) || { cat "$work/build.log"; exit 1; }

# The release names the toolchain that built it; another one can explain a mismatch.
toolchain=${zip%.zip}.toolchain.txt
if [ -f "$toolchain" ]; then
  # shellcheck disable=SC2046 # one word per package
  # dpkg-query answers in its own order, so both lists are sorted.
  dpkg-query -W -f='${Package} ${Version}\n' $(cut -d' ' -f1 "$toolchain") 2>/dev/null | sort >"$work/toolchain.txt" || true
  sort "$toolchain" >"$work/release-toolchain.txt"
  if ! cmp -s "$work/release-toolchain.txt" "$work/toolchain.txt"; then
    echo "Note: this machine's toolchain differs from the release's:"
    diff "$work/release-toolchain.txt" "$work/toolchain.txt" || true
  fi
fi

status=0
# Every file the release signs, as cmake/release-files.txt names it.
sh "$source/scripts/helpers/release-files.sh" signed >"$work/signed-files"
while read -r file origin; do
  case "$origin" in
    build) built=$build/$file from="built from" ;;
    *) built=$source/$origin from=in ;;
  esac
  extension=${file##*.}
  unzip -p "$zip" "$file" >"$work/signed.$extension"
  rm -f "$work/release.$extension"
  osslsigncode remove-signature -in "$work/signed.$extension" -out "$work/release.$extension" </dev/null >/dev/null
  if cmp -s "$work/release.$extension" "$built"; then
    echo "MATCH: the release's $file, less its signature, is byte for byte the one $from $version's source."
    continue
  fi
  # Where they differ; a changed byte anywhere in a program changes the header's checksum at 0xD8 too.
  cmp -l "$work/release.$extension" "$built" >"$work/differences" 2>&1 || true
  count=$(wc -l <"$work/differences")
  offsets=$(head -n 8 "$work/differences" | awk '$1 ~ /^[0-9]+$/ { printf " 0x%X", $1 - 1 }')
  echo "MISMATCH: the release's $file, less its signature, differs from the one $from $version's source in $count bytes, first at offsets$offsets ($(stat -c %s "$work/release.$extension") and $(stat -c %s "$built") bytes long)."
  status=1
done <"$work/signed-files"
exit $status
