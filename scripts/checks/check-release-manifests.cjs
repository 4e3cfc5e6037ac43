// Checks the winget and Scoop manifests that the release packaging writes
// beside a release zip, offline: each against the JSON schema that its project
// publishes (scripts/checks/schemas, with their source), and by hand for what
// no schema can know: the version is the project's, the addresses name this
// release, the hashes are the zip's, every file named is in the zip, Scoop's
// autoupdate follows $version, both installers give the same commands, and
// Scoop installs the PowerShell module under its own name.
// usage: node scripts/checks/check-release-manifests.cjs VERSION RELEASE_FOLDER...
// Each folder's findings are said with its name, and the status is 0 only
// when no folder has any.
const { execFileSync } = require("node:child_process");
const { createHash } = require("node:crypto");
const { readFileSync } = require("node:fs");
const { join } = require("node:path");
const Ajv = require("ajv");
const addFormats = require("ajv-formats");
const YAML = require("yaml");

const [version, ...folders] = process.argv.slice(2);
if (!version || folders.length === 0) {
  console.log("usage: check-release-manifests.cjs VERSION RELEASE_FOLDER...");
  process.exit(64);
}
const sorted = (list) => JSON.stringify([...list].sort());
const releaseName = execFileSync("sh", [join(__dirname, "..", "helpers", "release-name.sh"), version],
  { encoding: "utf8" }).trim();
// The schemas use formats such as uri and regex, winget's own "long" (an
// integer), and keywords that only describe, which strict mode would refuse.
const ajv = addFormats(new Ajv({ allErrors: true, strict: false }))
  .addFormat("long", { type: "number", validate: Number.isInteger });
const schemas = join(__dirname, "schemas");
// Each schema is compiled once, for every folder.
const validators = new Map();
function validator(schema) {
  if (!validators.has(schema)) {
    validators.set(schema, ajv.compile(JSON.parse(readFileSync(join(schemas, schema), "utf8"))));
  }
  return validators.get(schema);
}

// What is wrong with the manifests in one release folder.
function findingsIn(folder) {
  const findings = [];
  const zipName = `${releaseName}.zip`;
  const zipHash = createHash("sha256").update(readFileSync(join(folder, zipName))).digest("hex");
  const entries = execFileSync("unzip", ["-Z1", join(folder, zipName)], { encoding: "utf8" })
    .split("\n").filter((name) => name !== "");
  // Every program in the zip is offered as a command, each once.
  const programs = entries.filter((name) => name.endsWith(".exe")).sort();


  // A manifest read and checked against its schema: the parsed object, or {}.
  function manifest(file, schema, parse) {
    let parsed;
    try {
      parsed = parse(readFileSync(join(folder, file), "utf8")) ?? {};
    } catch (error) {
      findings.push(`${file}: cannot be read: ${error.message}`);
      return {};
    }
    const valid = validator(schema);
    if (!valid(parsed)) {
      for (const error of valid.errors) {
        findings.push(`${file}: ${error.instancePath || "(top)"} ${error.message}` +
          (error.params.additionalProperty ? `: ${error.params.additionalProperty}` : ""));
      }
    }
    return parsed;
  }
  const yaml = (source) => YAML.parse(source, { strict: true, uniqueKeys: true });

  function check(file, field, value, ok, rule) {
    if (!ok(value)) {
      findings.push(`${file}: ${field} ${JSON.stringify(value)} is not ${rule}`);
    }
  }
  const thisRelease = (value) => typeof value === "string" &&
    value.endsWith(`/v${version}/${zipName}`);
  const theZipsHash = (value) => typeof value === "string" && value.toLowerCase() === zipHash;
  const theVersion = (value) => value === version;

  const versionFile = "Quorvane.Quorvane.yaml";
  const installerFile = "Quorvane.Quorvane.installer.yaml";
  const localeFile = "Quorvane.Quorvane.locale.en-US.yaml";
  const scoopFile = "quorvane.json";
  const winget = {
    [versionFile]: manifest(versionFile, "manifest.version.1.12.0.json", yaml),
    [installerFile]: manifest(installerFile, "manifest.installer.1.12.0.json", yaml),
    [localeFile]: manifest(localeFile, "manifest.defaultLocale.1.12.0.json", yaml),
  };
  const scoop = manifest(scoopFile, "scoop.schema.json", JSON.parse);

  for (const [file, parsed] of Object.entries(winget)) {
    check(file, "PackageVersion", parsed.PackageVersion, theVersion, `the version ${version}`);
  }
  check(scoopFile, "version", scoop.version, theVersion, `the version ${version}`);

  const installer = winget[installerFile];
  for (const [index, entry] of (installer.Installers ?? []).entries()) {
    check(installerFile, `Installers[${index}].InstallerUrl`, entry.InstallerUrl, thisRelease,
      `the address of ${zipName} in release v${version}`);
    check(installerFile, `Installers[${index}].InstallerSha256`, entry.InstallerSha256, theZipsHash,
      `the zip's SHA-256, ${zipHash.toUpperCase()}`);
  }
  check(localeFile, "ReleaseNotesUrl", winget[localeFile].ReleaseNotesUrl,
    (value) => typeof value === "string" && value.includes(`/v${version}/`), `release v${version}'s`);
  const amd64 = scoop.architecture?.["64bit"] ?? {};
  check(scoopFile, "architecture.64bit.url", amd64.url, thisRelease,
    `the address of ${zipName} in release v${version}`);
  check(scoopFile, "architecture.64bit.hash", amd64.hash, theZipsHash, `the zip's SHA-256, ${zipHash}`);
  check(scoopFile, "autoupdate.architecture.64bit.url", scoop.autoupdate?.architecture?.["64bit"]?.url,
    (value) => typeof value === "string" && value.includes("$version"), "an address with $version");
  // Scoop links the app's folder into its modules folder under this name, so
  // it must be the module's, the name of the zip's .psd1; the schema does not
  // even require it.
  const moduleNames = entries.filter((name) => name.endsWith(".psd1")).map((name) => name.slice(0, -5));
  check(scoopFile, "psmodule.name", scoop.psmodule?.name,
    (value) => moduleNames.length === 1 && value === moduleNames[0], `the module's name, ${moduleNames.join(" and ")}`);
  check(`${zipName}.sha256`, "its line", readFileSync(join(folder, `${zipName}.sha256`), "utf8"),
    (line) => line === `${zipHash}  ${zipName}\n`, "the zip's hash and name");

  // The files each installer names are the programs in the zip, and the commands
  // it makes of them are the same: winget's aliases, and Scoop's shims, named
  // after the file without .exe unless an entry names its own.
  const nested = installer.NestedInstallerFiles ?? [];
  const paths = nested.map((file) => file.RelativeFilePath);
  for (const [index, path] of paths.entries()) {
    check(installerFile, `NestedInstallerFiles[${index}].RelativeFilePath`, path,
      (value) => entries.includes(value), `a file in ${zipName}`);
  }
  check(installerFile, "NestedInstallerFiles' paths", paths, (list) => sorted(list) === sorted(programs),
    `the programs in ${zipName}, ${programs.join(" and ")}`);
  const bin = Array.isArray(scoop.bin) ? scoop.bin : [];
  check(scoopFile, "bin", bin.map((entry) => [entry].flat()[0]),
    (list) => sorted(list) === sorted(programs), `the programs in ${zipName}, ${programs.join(" and ")}`);
  const aliases = nested.map((file) => file.PortableCommandAlias);
  const commands = bin.map((entry) => (Array.isArray(entry) ? entry[1] : String(entry).replace(/\.exe$/i, ""))
    .toLowerCase());
  check(scoopFile, "bin's commands", commands,
    (list) => new Set(aliases).size === aliases.length && sorted(list) === sorted(aliases),
    `winget's aliases, ${aliases.join(" and ")}, each different`);
  return findings;
}

let failed = false;
for (const folder of folders) {
  const findings = findingsIn(folder);
  for (const finding of findings) {
    console.log(`${folder}: ${finding}`);
  }
  console.log(`${folder}: ` + (findings.length === 0
    ? `the manifests agree with their schemas and with ${releaseName}.zip.`
    : `${findings.length} findings.`));
  failed ||= findings.length > 0;
}
process.exit(failed ? 1 : 0);
