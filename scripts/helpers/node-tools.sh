#!/bin/sh
# Installs the checks' npm packages, exactly as package-lock.json gives them,
# into node_modules; does nothing when that lockfile's packages are there
# already. npm itself comes from npm's registry at one exact version, checked
# against the SHA-512 the registry publishes for it: Debian's npm package
# brings over 300 others and takes a fresh machine a minute to install. npm
# trusts what the system trusts, as apt and git do.
set -eu
cd "$(dirname "$0")/../.."
npm_version=10.8.2
npm_integrity=sha512-x/AIjFIKRllrhcb48dqUNAAZl0ig9+qMuN91RpZo3Cb2+zuibfh+KISl6+kVVyktDz230JKc208UkQwwMqyB+w==
stamp=node_modules/.installed-from-package-lock.json
cmp -s package-lock.json "$stamp" && exit 0
# One install at a time: the house checks and the release tests may both ask
# at once, and npm ci starts by removing node_modules.
mkdir -p build/tools
exec 9>build/node-tools.lock
flock 9
cmp -s package-lock.json "$stamp" && exit 0
export NODE_EXTRA_CA_CERTS="${NODE_EXTRA_CA_CERTS:-/etc/ssl/certs/ca-certificates.crt}"
npm=build/tools/npm-$npm_version
if ! [ -f "$npm/package/bin/npm-cli.js" ]; then
  rm -rf "$npm"
  mkdir -p "$npm"
  # shellcheck disable=SC2016 # JavaScript, not the shell's
  node -e '
    const [url, integrity, file] = process.argv.slice(1);
    require("https").get(url, (response) => {
      if (response.statusCode !== 200) throw new Error(`${url}: HTTP ${response.statusCode}`);
      const chunks = [];
      response.on("data", (chunk) => chunks.push(chunk));
      response.on("end", () => {
        const body = Buffer.concat(chunks);
        const got = "sha512-" + require("crypto").createHash("sha512").update(body).digest("base64");
        if (got !== integrity) throw new Error(`${url}: ${got}, not the pinned ${integrity}`);
        require("fs").writeFileSync(file, body);
      });
    }).on("error", (error) => { throw error; });' \
    "https://registry.npmjs.org/npm/-/npm-$npm_version.tgz" "$npm_integrity" "$npm/npm.tgz"
  tar -xzf "$npm/npm.tgz" -C "$npm"
fi
node "$npm/package/bin/npm-cli.js" ci --loglevel=error --no-audit --no-fund >&2
cp package-lock.json "$stamp"
