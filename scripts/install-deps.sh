#!/bin/sh
# Installs, on Debian 12, what a job needs, and any further packages named:
#   install-deps.sh build [PACKAGE...]   cross-building Quorvane and running it under Wine
#   install-deps.sh test [PACKAGE...]    that, and everything the tests and house checks use
# Does nothing when everything is already there.
set -eu
build="cmake ninja-build g++-mingw-w64-x86-64-posix wine wine64"
case "${1:-}" in
  build) packages=$build ;;
  test)
    packages="$build mingw-w64-tools googletest clang lld clang-format clang-tidy pulseaudio zip
      unzip openssl osslsigncode shellcheck"
    # Node.js and npm run the workflow and manifest checks; a machine may already
    # have them from elsewhere.
    command -v npm >/dev/null || packages="$packages nodejs npm"
    ;;
  *)
    echo "usage: install-deps.sh build|test [PACKAGE...]" >&2
    exit 64
    ;;
esac
shift
packages="$packages $*"

missing=""
for package in $packages; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing="$missing $package"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
echo "Installing:$missing" >&2
$sudo apt-get update -q >&2
# wine and wine64 without their recommends: no Mono, Gecko or desktop extras.
# shellcheck disable=SC2086 # one word per package
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing >&2
