// Checks the winget and Scoop manifests that the release packaging writes
// beside a release zip, offline, against the field rules that winget's
// manifest schema 1.12.0 and Scoop's app manifests document, and against the
// zip itself: the hashes are the zip's, the files they name are in it, and the
// addresses carry the version.
// usage: node scripts/checks/check-release-manifests.cjs RELEASE_FOLDER VERSION
const { execFileSync } = require("node:child_process");
const { createHash } = require("node:crypto");
const { readFileSync } = require("node:fs");
const { join } = require("node:path");
const YAML = require("yaml");

const [folder, version] = process.argv.slice(2);
if (!folder || !version) {
  console.log("usage: check-release-manifests.cjs RELEASE_FOLDER VERSION");
  process.exit(64);
}
const findings = [];
const zipName = `Quorvane-${version}-win64.zip`;
const zip = readFileSync(join(folder, zipName));
const zipHash = createHash("sha256").update(zip).digest("hex");

// The names that unzip lists, one a line.
const entries = execFileSync("unzip", ["-Z1", join(folder, zipName)], { encoding: "utf8" })
  .split("\n").filter((name) => name !== "");
// Every program in the zip is offered as a command, each once.
const programs = entries.filter((name) => name.endsWith(".exe")).sort();
const sameSet = (list) => Array.isArray(list) &&
  JSON.stringify([...list].sort()) === JSON.stringify(programs);

// The forms the winget schema gives its fields.
const forbidden = "\\\\/:*?\"<>|\\x01-\\x1f";
const form = {
  identifier: new RegExp(`^[^.\\s${forbidden}]{1,32}(\\.[^.\\s${forbidden}]{1,32}){1,7}$`),
  version: new RegExp(`^[^${forbidden}]+$`),
  locale: /^([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*$/,
  manifestVersion: /^\d{1,5}(\.\d{1,5}){2}$/,
  url: /^[Hh][Tt][Tt][Pp][Ss]?:\/\/.+$/,
  sha256: /^[A-Fa-f0-9]{64}$/,
};
const architectures = ["x86", "x64", "arm", "arm64", "neutral"];

function check(file, field, value, ok, rule) {
  if (value === undefined || value === null) {
    findings.push(`${file}: ${field} is missing`);
  } else if (!ok(value)) {
    findings.push(`${file}: ${field} ${JSON.stringify(value)} is not ${rule}`);
  }
}
const text = (min, max) => (value) =>
  typeof value === "string" && value.length >= min && value.length <= max;
const matching = (pattern, max = Infinity) => (value) =>
  typeof value === "string" && value.length <= max && pattern.test(value);
const equal = (expected) => (value) => value === expected;
const url = matching(form.url, 2048);
const withVersion = (value) => url(value) && value.includes(version);

function read(file, parse) {
  try {
    return parse(readFileSync(join(folder, file), "utf8"));
  } catch (error) {
    findings.push(`${file}: cannot be read: ${error.message}`);
    return {};
  }
}
const yaml = (source) => YAML.parse(source, { strict: true, uniqueKeys: true }) ?? {};

// Fields every winget manifest of the set carries, alike in all three.
function common(file, manifest, type, versionManifest) {
  check(file, "PackageIdentifier", manifest.PackageIdentifier, matching(form.identifier, 128),
    "an identifier of two to eight dotted parts");
  check(file, "PackageVersion", manifest.PackageVersion, (v) => matching(form.version, 128)(v) &&
    v === version, `the version ${version}`);
  check(file, "ManifestType", manifest.ManifestType, equal(type), type);
  check(file, "ManifestVersion", manifest.ManifestVersion, matching(form.manifestVersion),
    "a manifest version");
  if (versionManifest && manifest !== versionManifest) {
    for (const field of ["PackageIdentifier", "ManifestVersion"]) {
      check(file, field, manifest[field], equal(versionManifest[field]),
        `the version manifest's ${versionManifest[field]}`);
    }
  }
}

const versionFile = "Quorvane.Quorvane.yaml";
const installerFile = "Quorvane.Quorvane.installer.yaml";
const localeFile = "Quorvane.Quorvane.locale.en-US.yaml";
const versionManifest = read(versionFile, yaml);
common(versionFile, versionManifest, "version");
check(versionFile, "DefaultLocale", versionManifest.DefaultLocale, matching(form.locale, 20),
  "a locale");

const installer = read(installerFile, yaml);
common(installerFile, installer, "installer", versionManifest);
check(installerFile, "InstallerType", installer.InstallerType, equal("zip"), "zip");
check(installerFile, "NestedInstallerType", installer.NestedInstallerType, equal("portable"),
  "portable");
const nested = installer.NestedInstallerFiles;
check(installerFile, "NestedInstallerFiles", nested,
  (files) => Array.isArray(files) && files.length >= 1 && files.length <= 1024, "a list of files");
for (const [index, file] of (Array.isArray(nested) ? nested : []).entries()) {
  const field = `NestedInstallerFiles[${index}]`;
  check(installerFile, `${field}.RelativeFilePath`, file?.RelativeFilePath,
    (path) => text(1, 512)(path) && entries.includes(path), `a file in ${zipName}`);
  check(installerFile, `${field}.PortableCommandAlias`, file?.PortableCommandAlias, text(1, 40),
    "an alias of 1 to 40 characters");
}
const nestedList = Array.isArray(nested) ? nested : [];
check(installerFile, "NestedInstallerFiles' paths", nestedList.map((file) => file?.RelativeFilePath),
  sameSet, `the programs in ${zipName}, ${programs.join(" and ")}`);
const aliases = nestedList.map((file) => file?.PortableCommandAlias);
check(installerFile, "NestedInstallerFiles' aliases", aliases,
  (list) => new Set(list).size === list.length, "each different");
const installers = installer.Installers;
check(installerFile, "Installers", installers, (list) => Array.isArray(list) && list.length >= 1,
  "a list of installers");
for (const [index, entry] of (Array.isArray(installers) ? installers : []).entries()) {
  const field = `Installers[${index}]`;
  check(installerFile, `${field}.Architecture`, entry?.Architecture,
    (value) => architectures.includes(value), `one of ${architectures.join(", ")}`);
  check(installerFile, `${field}.InstallerUrl`, entry?.InstallerUrl,
    (value) => withVersion(value) && value.endsWith(`/${zipName}`),
    `the address of ${zipName}, with the version`);
  check(installerFile, `${field}.InstallerSha256`, entry?.InstallerSha256,
    (value) => matching(form.sha256)(value) && value.toLowerCase() === zipHash,
    `the zip's SHA-256, ${zipHash.toUpperCase()}`);
}

const locale = read(localeFile, yaml);
common(localeFile, locale, "defaultLocale", versionManifest);
check(localeFile, "PackageLocale", locale.PackageLocale, equal(versionManifest.DefaultLocale),
  "the version manifest's DefaultLocale");
check(localeFile, "Publisher", locale.Publisher, text(2, 256), "2 to 256 characters");
check(localeFile, "PackageName", locale.PackageName, text(2, 256), "2 to 256 characters");
check(localeFile, "License", locale.License, text(3, 512), "3 to 512 characters");
check(localeFile, "ShortDescription", locale.ShortDescription, text(3, 256),
  "3 to 256 characters");
check(localeFile, "PackageUrl", locale.PackageUrl, url, "an http or https address");
check(localeFile, "ReleaseNotesUrl", locale.ReleaseNotesUrl, withVersion,
  "an address with the version");

const scoopFile = "quorvane.json";
const scoop = read(scoopFile, JSON.parse);
const amd64 = scoop.architecture?.["64bit"];
check(scoopFile, "version", scoop.version, equal(version), `the version ${version}`);
check(scoopFile, "description", scoop.description, text(1, Infinity), "a description");
check(scoopFile, "homepage", scoop.homepage, matching(/^https:\/\/github\.com\/[^/]+\/[^/]+$/),
  "a GitHub repository's page, which checkver github reads");
check(scoopFile, "license", scoop.license, text(1, Infinity), "a licence");
check(scoopFile, "architecture.64bit.url", amd64?.url,
  (value) => withVersion(value) && value.endsWith(`/${zipName}`),
  `the address of ${zipName}, with the version`);
check(scoopFile, "architecture.64bit.hash", amd64?.hash,
  (value) => matching(form.sha256)(value) && value.toLowerCase() === zipHash,
  `the zip's SHA-256, ${zipHash}`);
// A bin entry is a file, whose command is its name without .exe, or a list of
// the file and the command's alias. The commands are winget's aliases, so that
// both installers give the same ones.
const binEntries = Array.isArray(scoop.bin) ? scoop.bin : [];
check(scoopFile, "bin", binEntries.map((entry) => (Array.isArray(entry) ? entry[0] : entry)),
  sameSet, `the programs in ${zipName}, ${programs.join(" and ")}`);
const command = (entry) => String(Array.isArray(entry) ? entry[1] : entry?.replace(/\.exe$/i, ""))
  .toLowerCase();
check(scoopFile, "bin's commands", binEntries.map(command).sort(),
  (list) => JSON.stringify(list) === JSON.stringify([...aliases].sort()),
  `winget's aliases, ${aliases.join(" and ")}`);
check(scoopFile, "checkver", scoop.checkver, equal("github"), "github");
check(scoopFile, "autoupdate.architecture.64bit.url",
  scoop.autoupdate?.architecture?.["64bit"]?.url,
  (value) => url(value) && value.includes("$version"), "an address with $version");
check(scoopFile, "autoupdate.hash.url", scoop.autoupdate?.hash?.url, equal("$url.sha256"),
  "$url.sha256");

// The checksum file that Scoop's autoupdate reads: the hash, then the name.
const checksum = read(`${zipName}.sha256`, (source) => source);
check(`${zipName}.sha256`, "its line", checksum, equal(`${zipHash}  ${zipName}\n`),
  "the zip's hash and name");

for (const finding of findings) {
  console.log(finding);
}
console.log(findings.length === 0
  ? `Release manifests: winget and Scoop agree with ${zipName}.`
  : `Release manifests: ${findings.length} findings.`);
process.exit(findings.length === 0 ? 0 : 1);
