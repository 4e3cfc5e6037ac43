// Fails when a workflow grants permissions that are not given by name, or runs
// an action that can change under it:
//   - the top-level `permissions` is `{}`, so that no job inherits the
//     repository's default token;
//   - every job names the scopes it needs in a `permissions` mapping;
//   - `write-all`, `read-all` and an empty `permissions:` are refused anywhere;
//   - every `uses:` names a local action, or a full 40-hex commit SHA with its
//     version in a comment.
// usage: node scripts/checks/check-workflows.cjs WORKFLOW...
const { readFileSync } = require("node:fs");
const YAML = require("yaml");

const paths = process.argv.slice(2);
if (paths.length === 0) {
  console.log("check-workflows: no workflow files to check");
  process.exit(1);
}
const findings = [];
const isMapping = (value) => value !== null && typeof value === "object" && !Array.isArray(value);

function checkPermissions(path, where, permissions, mustBeEmpty) {
  if (permissions === undefined) {
    findings.push(`${path}: ${where} has no permissions`);
  } else if (!isMapping(permissions)) {
    findings.push(`${path}: ${where} permissions ${JSON.stringify(permissions)} grant scopes not named`);
  } else if (mustBeEmpty && Object.keys(permissions).length > 0) {
    findings.push(`${path}: ${where} permissions must be {}; each job names its own`);
  } else if (!mustBeEmpty && Object.keys(permissions).length === 0) {
    findings.push(`${path}: ${where} names no scopes`);
  }
}

for (const path of paths) {
  const source = readFileSync(path, "utf8");
  const workflow = YAML.parse(source, { strict: true, uniqueKeys: true }) ?? {};
  checkPermissions(path, "the workflow", workflow.permissions, true);
  for (const [name, job] of Object.entries(workflow.jobs ?? {})) {
    checkPermissions(path, `job ${name}`, job?.permissions, false);
  }
  source.split("\n").forEach((line, index) => {
    const uses = line.match(/^\s*(?:-\s+)?uses:\s*(\S+)(.*)$/);
    if (uses && !uses[1].startsWith("./") &&
        !(/^[^@\s]+@[0-9a-f]{40}$/.test(uses[1]) && /^\s+#\s*v\d/.test(uses[2]))) {
      findings.push(`${path}:${index + 1}: ${uses[1]} is not pinned to a commit SHA with its version in a comment`);
    }
  });
}
for (const finding of findings) {
  console.log(finding);
}
process.exit(findings.length === 0 ? 0 : 1);
