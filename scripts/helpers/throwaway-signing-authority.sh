#!/bin/sh
# Makes a throwaway code-signing authority in FOLDER, so that the release's
# signing can be tested and rehearsed without the real certificate: its root
# (ca.pem), a code-signing certificate that it issued (signer.p12, with its
# chain's keys beside it) and that file's random password (password).
# usage: throwaway-signing-authority.sh FOLDER [DAYS_VALID]
set -eu
mkdir -p "$1"
cd "$1"
days=${2:-30}
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days "$days" \
  -subj "/CN=Quorvane Throwaway CA" -addext basicConstraints=critical,CA:TRUE \
  -addext keyUsage=critical,keyCertSign 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr \
  -subj "/CN=Quorvane Throwaway Signer/O=Quorvane" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days "$days" \
  -extfile signer.ext -out signer.pem 2>/dev/null
(umask 077 && openssl rand -hex 16 >password)
openssl pkcs12 -export -inkey signer.key -in signer.pem -out signer.p12 -passout file:password
