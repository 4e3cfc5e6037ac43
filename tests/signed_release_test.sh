#!/bin/sh
# Signs the release package as the release workflow does, with a throwaway
# certificate authority made here, and checks the signature, its tamper
# evidence, the checksum, the zip and that signing twice gives the same bytes.
# The process tests run the signed executable it leaves. With "verify" (for the
# g++ build, which releases are made with), scripts/verify-release.sh must find
# the package equal to its source, and the package with a changed byte not.
# usage: signed_release_test.sh BUILD_FOLDER SOURCE_FOLDER VERSION [verify]
set -eu
build=$1 source=$2 version=$3
work=$build/signed-release
rm -rf "$work"
mkdir -p "$work/ca"
cd "$work/ca"
fail() { echo "signed release: $*"; exit 1; }

openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 30 \
  -subj "/CN=Quorvane Throwaway CA" -addext basicConstraints=critical,CA:TRUE \
  -addext keyUsage=critical,keyCertSign 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr \
  -subj "/CN=Quorvane Test Signer/O=Quorvane" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 30 \
  -extfile signer.ext -out signer.pem 2>/dev/null
QUORVANE_SIGNING_PASSWORD=$(openssl rand -hex 16)
export QUORVANE_SIGNING_PASSWORD QUORVANE_SIGNING_CERTIFICATE="$work/ca/signer.p12"
export QUORVANE_SIGNING_URL=https://example.org/quorvane SOURCE_DATE_EPOCH=1767225600
openssl pkcs12 -export -inkey signer.key -in signer.pem -out signer.p12 \
  -passout env:QUORVANE_SIGNING_PASSWORD

package_into() {
  folder=$1
  shift
  env "$@" cmake -DEXECUTABLE="$build/Quorvane.exe" -DLIST_EXECUTABLE="$build/QuorvaneList.exe" \
    -DSOURCE_DIR="$source" -DVERSION="$version" \
    -DOUTPUT_DIR="$work/$folder" -P "$source/cmake/release-package.cmake" >"$work/$folder.log" 2>&1
}
for copy in a b; do
  package_into "$copy" || { cat "$work/$copy.log"; fail "packaging failed"; }
  ! grep -q -F "$QUORVANE_SIGNING_PASSWORD" "$work/$copy.log" || fail "the log shows the password"
  [ ! -e "$work/$copy/signing" ] || fail "the password file was left behind"
done
package=Quorvane-$version-win64
# A signing that fails leaves no package, not even an earlier unsigned one.
package_into c QUORVANE_SIGNING_CERTIFICATE= || fail "an unsigned package failed"
! package_into c QUORVANE_SIGNING_PASSWORD=wrong || fail "signed with a wrong password"
[ ! -e "$work/c/$package.zip" ] || fail "a failed signing left a package behind"
signed=$work/a/$package/Quorvane.exe
for file in "$package.zip" "$package.zip.sha256" "$package/Quorvane.exe"; do
  cmp "$work/a/$file" "$work/b/$file" || fail "signing twice gave different bytes: $file"
done
! cmp -s "$build/Quorvane.exe" "$signed" || fail "the packaged executable is not signed"

signed_list=$work/a/$package/QuorvaneList.exe
osslsigncode verify -CAfile ca.pem -in "$signed_list" >/dev/null 2>&1 || fail "QuorvaneList.exe is not signed"
unzip -p "$work/a/$package.zip" QuorvaneList.exe | cmp - "$signed_list" || fail "the zip holds another QuorvaneList.exe"
osslsigncode verify -CAfile ca.pem -in "$signed" >verify.log 2>&1 || { cat verify.log; fail "no valid signature"; }
for expected in "Subject: /CN=Quorvane Test Signer/O=Quorvane" "Message digest algorithm  : SHA256" \
  "Text description: Quorvane" "URL description: $QUORVANE_SIGNING_URL"; do
  grep -q -F "$expected" verify.log || fail "the signature does not say: $expected"
done
! osslsigncode verify -in "$signed" >/dev/null 2>&1 || fail "verified without its authority"

# One byte of the code changed must break the signature.
text=$(x86_64-w64-mingw32-objdump -h "$signed" | awk '$2 == ".text" { print $6 }')
cp "$signed" tampered.exe
printf '\314' | dd of=tampered.exe bs=1 seek=$((0x$text + 64)) conv=notrunc 2>/dev/null
cmp -s "$signed" tampered.exe || printf '\220' | dd of=tampered.exe bs=1 seek=$((0x$text + 64)) conv=notrunc 2>/dev/null
! osslsigncode verify -CAfile ca.pem -in tampered.exe >/dev/null 2>&1 || fail "a changed byte still verifies"

(cd "$work/a" && sha256sum --quiet -c "$package.zip.sha256") || fail "checksum does not match the zip"
unzip -p "$work/a/$package.zip" Quorvane.exe | cmp - "$signed" || fail "the zip holds another executable"

if [ "${4:-}" = verify ]; then
  verify() { sh "$source/scripts/verify-release.sh" --source "$source" "$1" >"$2" 2>&1; }
  verify "$work/a/$package.zip" match.log || { cat match.log; fail "the package does not match its source"; }
  mkdir -p changed/zip changed/exe
  cp "$work/a/$package.zip" changed/zip/ && cp tampered.exe changed/exe/Quorvane.exe
  (cd changed/exe && zip -q "../zip/$package.zip" Quorvane.exe)
  ! verify "changed/zip/$package.zip" mismatch.log || fail "a changed byte still matches its source"
  grep -q "^MISMATCH: .*, first at offsets .*$(printf '0x%X' $((0x$text + 64))) " mismatch.log ||
    fail "the mismatch is not placed: $(cat mismatch.log)"
fi
echo "Signed release: verified, tamper-evident, checksummed, reproducible${4:+, and equal to its source}."
