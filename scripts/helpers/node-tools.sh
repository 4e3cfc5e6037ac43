#!/bin/sh
# Installs the checks' npm packages, exactly as package-lock.json gives them,
# into node_modules; does nothing when that lockfile's packages are there
# already. npm trusts what the system trusts, as apt and git do.
set -eu
cd "$(dirname "$0")/../.."
stamp=node_modules/.installed-from-package-lock.json
cmp -s package-lock.json "$stamp" && exit 0
# One install at a time: the house checks and the release tests may both ask
# at once, and npm ci starts by removing node_modules.
mkdir -p build
exec 9>build/node-tools.lock
flock 9
cmp -s package-lock.json "$stamp" && exit 0
NODE_EXTRA_CA_CERTS=${NODE_EXTRA_CA_CERTS:-/etc/ssl/certs/ca-certificates.crt} \
  npm ci --loglevel=error --no-audit --no-fund >&2
cp package-lock.json "$stamp"
