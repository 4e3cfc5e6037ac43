#!/bin/sh
# Signs the release package with the release workflow's own script
# (scripts/release/package-release.sh) and a throwaway certificate authority,
# and checks the signatures (of every file cmake/release-files.txt marks signed), their tamper
# evidence, the checksum, the zip, that signing twice gives the same bytes,
# and that the key never outlives the script, nor a package a failed signing.
# The process tests run the signed executable it leaves. With "verify" (for the
# g++ build, which releases are made with), scripts/release/verify-release.sh must find
# the package equal to its source, and the package with a changed byte not.
# usage: signed_release_test.sh BUILD_FOLDER SOURCE_FOLDER VERSION [verify]
set -eu
build=$1 source=$2 version=$3
work=$build/signed-release
rm -rf "$work"
mkdir -p "$work"
sh "$source/scripts/helpers/throwaway-signing-authority.sh" "$work/ca"
cd "$work/ca"
fail() { echo "signed release: $*"; exit 1; }
QUORVANE_SIGNING_PASSWORD=$(cat password)
export QUORVANE_SIGNING_PASSWORD QUORVANE_SIGNING_URL=https://example.org/quorvane
QUORVANE_SIGNING_CERTIFICATE_BASE64=$(base64 -w 0 signer.p12)
export QUORVANE_SIGNING_CERTIFICATE_BASE64 QUORVANE_SIGNING_ROOT="$work/ca/ca.pem"
export RUNNER_TEMP="$work/runner-temp" GITHUB_ENV="$work/github-env"
mkdir -p "$RUNNER_TEMP"

package=$(sh "$source/scripts/helpers/release-name.sh" "$version")
# The workflow's package step, into the build's own release folder; what it
# leaves there, and the zip's staged files beside it, is kept as the copy named.
package_as() {
  copy=$1
  shift
  env "$@" sh "$source/scripts/release/package-release.sh" "v$version" "$build" >"$work/$copy.log" 2>&1 &&
    rm -rf "${work:?}/$copy" && cp -r "$build/release" "$work/$copy" &&
    cp -r "$build/release-stage/$package" "$work/$copy/"
}
for copy in a b; do
  package_as "$copy" || { cat "$work/$copy.log"; fail "packaging failed"; }
  ! grep -q -F "$QUORVANE_SIGNING_PASSWORD" "$work/$copy.log" || fail "the log shows the password"
  [ -z "$(ls -A "$RUNNER_TEMP")" ] || fail "the key outlived the package step: $(ls "$RUNNER_TEMP")"
done
grep -q -x "RELEASE_NAME=$package" "$GITHUB_ENV" || fail "the release's name was not handed to the next steps"
# Each refusal names its cause; a signing that fails leaves no package, not
# even the earlier one, and no key.
refused() {
  said=$1
  shift
  ! package_as refused "$@" || fail "packaged although: $said"
  grep -q -F "$said" "$work/refused.log" || fail "$(cat "$work/refused.log")"
}
refused "Add the root certificate (PEM)" QUORVANE_SIGNING_ROOT="$work/ca/none.pem"
if sh "$source/scripts/release/package-release.sh" v0.0.0 "$build" >"$work/refused.log" 2>&1 ||
  ! grep -q -F "tag v0.0.0 does not match project version $version" "$work/refused.log"; then
  fail "packaged for another version's tag: $(cat "$work/refused.log")"
fi
refused "could not sign" QUORVANE_SIGNING_PASSWORD=wrong
[ ! -e "$build/release/$package.zip" ] || fail "a failed signing left a package behind"
[ -z "$(ls -A "$RUNNER_TEMP")" ] || fail "the key outlived a failed signing: $(ls "$RUNNER_TEMP")"
signed=$work/a/$package/Quorvane.exe
for file in "$package.zip" "$package.zip.sha256" "$package/Quorvane.exe" "$package/Hide-Endpoints.ps1"; do
  cmp "$work/a/$file" "$work/b/$file" || fail "signing twice gave different bytes: $file"
done
! cmp -s "$build/Quorvane.exe" "$signed" || fail "the packaged executable is not signed"

# Every file the list marks signed is, and the zip holds it as signed.
signed_files=$(sh "$source/scripts/helpers/release-files.sh" signed | cut -d' ' -f1)
for file in $signed_files; do
  osslsigncode verify -CAfile ca.pem -in "$work/a/$package/$file" >/dev/null 2>&1 || fail "$file is not signed"
  unzip -p "$work/a/$package.zip" "$file" | cmp - "$work/a/$package/$file" || fail "the zip holds another $file"
done
osslsigncode verify -CAfile ca.pem -in "$signed" >verify.log 2>&1 || { cat verify.log; fail "no valid signature"; }
for expected in "Subject: /CN=Quorvane Throwaway Signer/O=Quorvane" "Message digest algorithm  : SHA256" \
  "Text description: Quorvane" "URL description: $QUORVANE_SIGNING_URL"; do
  grep -q -F "$expected" verify.log || fail "the signature does not say: $expected"
done
! osslsigncode verify -in "$signed" >/dev/null 2>&1 || fail "verified without its authority"

# One byte of the code changed must break the signature.
text=$(x86_64-w64-mingw32-objdump -h "$signed" | awk '$2 == ".text" { print $6 }')
cp "$signed" tampered.exe
printf '\314' | dd of=tampered.exe bs=1 seek=$((0x$text + 64)) conv=notrunc 2>/dev/null
! cmp -s "$signed" tampered.exe || printf '\220' | dd of=tampered.exe bs=1 seek=$((0x$text + 64)) conv=notrunc 2>/dev/null
! osslsigncode verify -CAfile ca.pem -in tampered.exe >/dev/null 2>&1 || fail "a changed byte still verifies"
# And one byte of a script: 'render' becomes 'Render' in its settings.
sed '0,/render/s//Render/' "$work/a/$package/Hide-Endpoints.ps1" >tampered.ps1
! cmp -s "$work/a/$package/Hide-Endpoints.ps1" tampered.ps1 || fail "the script was not changed"
! osslsigncode verify -CAfile ca.pem -in tampered.ps1 >/dev/null 2>&1 || fail "a script with a changed byte still verifies"

(cd "$work/a" && sha256sum --quiet -c "$package.zip.sha256") || fail "checksum does not match the zip"
unzip -p "$work/a/$package.zip" Quorvane.exe | cmp - "$signed" || fail "the zip holds another executable"

if [ "${4:-}" = verify ]; then
  # QUORVANE_VERIFY_BUILD may name a build of this source made from scratch
  # elsewhere, such as the demo's in scripts/test.sh, so that it is not made twice.
  rebuilt=${QUORVANE_VERIFY_BUILD:-$work/rebuilt}
  verify() { sh "$source/scripts/release/verify-release.sh" --source "$source" --build "$rebuilt" "$1" >"$2" 2>&1; }
  verify "$work/a/$package.zip" match.log || { cat match.log; fail "the package does not match its source"; }
  mkdir -p changed/zip changed/files
  cp "$work/a/$package.zip" changed/zip/ && cp tampered.exe changed/files/Quorvane.exe
  cp tampered.ps1 changed/files/Hide-Endpoints.ps1
  (cd changed/files && zip -q "../zip/$package.zip" Quorvane.exe Hide-Endpoints.ps1)
  ! verify "changed/zip/$package.zip" mismatch.log || fail "a changed byte still matches its source"
  grep -q "^MISMATCH: the release's Quorvane.exe, .*, first at offsets .*$(printf '0x%X' $((0x$text + 64))) " mismatch.log ||
    fail "the mismatch is not placed: $(cat mismatch.log)"
  grep -q "^MISMATCH: the release's Hide-Endpoints.ps1, .* in 1 bytes" mismatch.log ||
    fail "the changed script matches: $(cat mismatch.log)"
  grep -q "^MATCH: the release's Detect-ShownEndpoints.ps1" mismatch.log || fail "$(cat mismatch.log)"
fi
echo "Signed release: verified, tamper-evident, checksummed, reproducible${4:+, and equal to its source}."
