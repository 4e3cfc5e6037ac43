#!/bin/sh
# The release job's package step: checks that the tag names the project's
# version, builds the release package signed with the certificate that the
# environment holds, and verifies the signature of every file that
# cmake/release-files.txt marks signed against the issuing authority's root. The key lives in a private folder of $RUNNER_TEMP (or the
# system's temporary folder) for this script's run only, whatever ends it.
# usage: package-release.sh TAG [BUILD_FOLDER]      (build/mingw by default)
# Environment: QUORVANE_SIGNING_CERTIFICATE_BASE64 (the PKCS#12 file, base64),
# QUORVANE_SIGNING_PASSWORD, and optionally QUORVANE_TIMESTAMP_URL,
# QUORVANE_SIGNING_URL, QUORVANE_RELEASE_URL, and QUORVANE_SIGNING_ROOT (the
# authority's root certificate, .github/code-signing-root.pem by default).
# Adds RELEASE_NAME, the zip's name without .zip, to $GITHUB_ENV when that is set.
set -eu
cd "$(dirname "$0")/../.."
fail() { echo "::error::package-release.sh: $*"; exit 1; }
[ $# -ge 1 ] || fail "usage: package-release.sh TAG [BUILD_FOLDER]"
tag=$1
build=${2:-build/mingw}
version=$(sh scripts/helpers/project-version.sh)
name=$(sh scripts/helpers/release-name.sh "$version")
[ "$tag" = "v$version" ] || fail "tag $tag does not match project version $version"
root=${QUORVANE_SIGNING_ROOT:-.github/code-signing-root.pem}
[ -f "$root" ] || fail "there is no $root. Add the root certificate (PEM) of the authority that issued the code-signing certificate there, once, so that the signature is checked against it."
[ -n "${QUORVANE_SIGNING_CERTIFICATE_BASE64:-}" ] ||
  fail "no signing certificate: set QUORVANE_SIGNING_CERTIFICATE_BASE64 in the release environment's secrets"

# Everything that can fail without the key comes before the key exists.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
[ -f "$build/CMakeCache.txt" ] || cmake --preset mingw -B "$build" -DQUORVANE_BUILD_TESTS=OFF >/dev/null

umask 077
private=$(mktemp -d "${RUNNER_TEMP:-${TMPDIR:-/tmp}}/quorvane-signing.XXXXXX")
trap 'rm -rf "$private"' EXIT
trap 'exit 1' HUP INT TERM
printf '%s' "$QUORVANE_SIGNING_CERTIFICATE_BASE64" | base64 -d >"$private/signing.p12"
export QUORVANE_SIGNING_CERTIFICATE="$private/signing.p12"
cmake --build "$build" --target release-package
signed_files=$(sh scripts/helpers/release-files.sh signed | cut -d' ' -f1)
for file in $signed_files; do
  osslsigncode verify -CAfile "$root" -in "$build/release-stage/$name/$file" >"$private/verify.log" 2>&1 ||
    { cat "$private/verify.log"; fail "$file does not verify against $root"; }
done
[ -z "${GITHUB_ENV:-}" ] || echo "RELEASE_NAME=$name" >>"$GITHUB_ENV"
echo "Signed and verified against $root: $name.zip"
