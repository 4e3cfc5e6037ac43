// Runs the Linux jobs of .github/workflows/ci.yml and release.yml as a GitHub
// container job runs them, from the workflow files of the commit rehearsed:
//   - each job in a fresh Debian 12 root (debootstrap, then chroot), the work
//     tree's top folder owned by the runner's user (uid 1001) while the steps
//     run as root; a job without a container runs as that user instead;
//   - each `run:` under `bash -e`, in the work tree, with no more environment
//     than GitHub gives a step: HOME, CI, the GITHUB_* and RUNNER_* defaults,
//     the workflow's, job's and step's `env:`, and the image's own PATH. No
//     locale: debian:12 sets none, and a container step inherits none;
//   - the actions used, emulated: checkout as a clone, upload and download of
//     artifacts as copies between the jobs, setup-dotnet as this machine's SDK
//     copied in, attestation and `gh release create` recorded, not run, with
//     the files they receive checked;
//   - secrets from a throwaway certificate authority, whose root the rehearsed
//     release commit carries where a maintainer keeps the real one.
// Anything it does not know (an action, a step or job key, a container option,
// an expression) fails the rehearsal. What it emulates rather than runs, it
// says at its start: a pass here is a pass of the steps' own commands.
// usage (as root): node scripts/rehearse-workflows.cjs [--ref REVISION] [--job WORKFLOW/JOB]...
const { execFileSync, spawnSync } = require("node:child_process");
const fs = require("node:fs");
const path = require("node:path");
const YAML = require("yaml");

const project = path.resolve(__dirname, "..");
const args = process.argv.slice(2);
const option = (name) => {
  const values = [];
  for (let at = args.indexOf(name); at >= 0; at = args.indexOf(name, at + 1)) {
    values.push(args[at + 1]);
  }
  return values;
};
const revision = option("--ref")[0] ?? "HEAD";
const onlyJobs = option("--job");

fs.mkdirSync(path.join(project, "build"), { recursive: true });
const work = fs.mkdtempSync(path.join(project, "build", "rehearsal-"));
const cache = path.join(process.env.HOME ?? "/root", ".cache", "quorvane-rehearsal");
const runnerUid = 1001;
const repository = "owner/quorvane";
const started = Date.now();

const say = (text) => console.log(`[rehearsal ${Math.round((Date.now() - started) / 1000)} s] ${text}`);
const run = (command, commandArgs, options = {}) =>
  execFileSync(command, commandArgs, { stdio: ["ignore", "pipe", "inherit"], encoding: "utf8", ...options });
class Refusal extends Error {}
const refuse = (text) => {
  throw new Refusal(text);
};

// The commit rehearsed, as a release of it would be tagged: the throwaway
// authority's root where a maintainer keeps the real one, and the changelog
// section dated, as a maintainer dates it before tagging.
function prepareSource(authority) {
  const source = path.join(work, "source");
  run("git", ["clone", "-q", "--no-hardlinks", project, source]);
  run("git", ["-C", source, "checkout", "-q", "--detach", run("git", ["-C", project, "rev-parse", revision]).trim()]);
  const version = run("sh", [path.join(project, "scripts", "helpers", "project-version.sh"), source]).trim();
  fs.mkdirSync(path.join(source, ".github"), { recursive: true });
  fs.copyFileSync(authority.root, path.join(source, ".github", "code-signing-root.pem"));
  const changelog = path.join(source, "CHANGELOG.md");
  const today = new Date().toISOString().slice(0, 10);
  fs.writeFileSync(changelog, fs.readFileSync(changelog, "utf8")
    .replace(new RegExp(`^## ${version.replace(/\./g, "\\.")} — unreleased$`, "m"), `## ${version} — ${today}`));
  run("git", ["-C", source, "add", "-A"]);
  run("git", ["-C", source, "-c", "user.name=Rehearsal", "-c", "user.email=rehearsal@localhost",
    "commit", "-q", "--allow-empty", "-m", "Rehearsal: the release as tagged"]);
  run("git", ["-C", source, "tag", `v${version}`]);
  say(`rehearsing ${run("git", ["-C", project, "rev-parse", "--short", revision]).trim()} as v${version}, ` +
    "with a throwaway authority's root at .github/code-signing-root.pem and CHANGELOG dated");
  return { source, version };
}

function throwawayAuthority() {
  const folder = path.join(work, "authority");
  run("sh", [path.join(project, "scripts", "helpers", "throwaway-signing-authority.sh"), folder, "2"],
    { stdio: "ignore" });
  return {
    root: path.join(folder, "ca.pem"),
    secrets: {
      QUORVANE_SIGNING_CERTIFICATE_BASE64: fs.readFileSync(path.join(folder, "signer.p12")).toString("base64"),
      QUORVANE_SIGNING_PASSWORD: fs.readFileSync(path.join(folder, "password"), "utf8").trim(),
    },
  };
}

// A fresh Debian 12 root, from a cached debootstrap of it.
function freshRoot(name) {
  const base = path.join(cache, "debian-12.tar");
  if (!fs.existsSync(base)) {
    say("making the Debian 12 base with debootstrap (once)");
    fs.mkdirSync(cache, { recursive: true });
    const fresh = path.join(work, "base");
    const sources = fs.existsSync("/etc/apt/sources.list.d/debian.sources")
      ? fs.readFileSync("/etc/apt/sources.list.d/debian.sources", "utf8") : "";
    const mirror = sources.match(/^URIs:\s*(\S+)/m)?.[1] ?? "http://deb.debian.org/debian";
    run("debootstrap", ["--variant=minbase", "bookworm", fresh, mirror], { stdio: "ignore" });
    run("tar", ["-C", fresh, "-cf", `${base}.part`, "."]);
    fs.renameSync(`${base}.part`, base);
    fs.rmSync(fresh, { recursive: true, force: true });
  }
  const root = path.join(work, name);
  fs.mkdirSync(root);
  run("tar", ["-C", root, "-xf", base]);
  fs.copyFileSync("/etc/resolv.conf", path.join(root, "etc/resolv.conf"));
  // The registries are reached with the certificates this machine trusts.
  const extra = "/usr/local/share/ca-certificates";
  if (fs.existsSync(extra)) {
    for (const file of fs.readdirSync(extra).filter((entry) => entry.endsWith(".crt"))) {
      fs.mkdirSync(path.join(root, extra), { recursive: true });
      fs.copyFileSync(path.join(extra, file), path.join(root, extra, file));
    }
  }
  // gh is recorded, not run: each call and the files it would upload (the
  // release notes are no asset).
  fs.writeFileSync(path.join(root, "usr/local/bin/gh"), `#!/bin/sh
{ printf 'gh'; for argument in "$@"; do printf ' %s' "$argument"; done; echo; } >>/rehearsal-gh.log
previous=""
for argument in "$@"; do
  if [ "$previous" != --notes-file ] && [ -f "$argument" ]; then
    echo "file $(basename "$argument") $(sha256sum <"$argument" | cut -d' ' -f1)" >>/rehearsal-gh.log
  fi
  previous=$argument
done
exit 0
`, { mode: 0o755 });
  fs.writeFileSync(path.join(root, "rehearsal-gh.log"), "");
  fs.chmodSync(path.join(root, "rehearsal-gh.log"), 0o666);
  // Mounted last, so that nothing can fail between here and the job that
  // unmounts them. The root is a mount of its own, as a container's is: .NET
  // finds its own files through the mount table, and PowerShell finds none of
  // its modules in a root that is only a folder.
  run("mount", ["--bind", root, root]);
  for (const mount of ["proc", "sys", "dev", "dev/pts", "dev/shm"]) {
    fs.mkdirSync(path.join(root, mount), { recursive: true });
    run("mount", ["--bind", `/${mount}`, path.join(root, mount)]);
  }
  return root;
}

function unmount(root) {
  for (const mount of ["dev/shm", "dev/pts", "dev", "sys", "proc", ""]) {
    spawnSync("umount", ["-l", path.join(root, mount)]);
  }
}

// ${{ ... }} as GitHub evaluates the few expressions these workflows use.
function evaluate(text, context) {
  if (typeof text !== "string") {
    return text;
  }
  return text.replace(/\$\{\{\s*([^}]*?)\s*\}\}/g, (_, expression) => {
    const [scope, ...rest] = expression.split(".");
    const name = rest.join(".");
    if (scope === "secrets") return context.secrets[name] ?? "";
    if (scope === "inputs" && name in context.inputs) return String(context.inputs[name]);
    if (scope === "env" && name in context.env) return context.env[name];
    if (scope === "github" && name in context.github) return context.github[name];
    return refuse(`an expression the rehearsal does not know: \${{ ${expression} }}`);
  });
}

// The debian:12 image's own environment, which docker gives every process in it.
const imageEnvironment = { PATH: "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin" };

// A container as these workflows write it: debian:12, alone or with --init.
function containerImage(container, jobName) {
  if (container === undefined) return undefined;
  const { image, options, ...rest } = typeof container === "string" ? { image: container } : container;
  if (image !== "debian:12") refuse(`${jobName}: the container ${image}`);
  if (Object.keys(rest).length > 0) refuse(`${jobName}: the container key '${Object.keys(rest)[0]}'`);
  if (options !== undefined && options !== "--init") refuse(`${jobName}: the container options '${options}'`);
  return image;
}

const knownJobKeys = new Set(["runs-on", "container", "permissions", "steps", "needs", "environment", "env"]);
const knownStepKeys = new Set(["name", "run", "uses", "with", "env"]);

function runJob(workflowFile, jobName, job, context, artifacts) {
  for (const key of Object.keys(job)) {
    if (!knownJobKeys.has(key)) refuse(`${workflowFile} ${jobName}: the job key '${key}'`);
  }
  const inContainer = containerImage(job.container, jobName) !== undefined;
  const root = freshRoot(`${path.basename(workflowFile, ".yml")}-${jobName}`);
  try {
    const base = inContainer ? "/__w" : "/home/runner/work";
    const workspace = `${base}/quorvane/quorvane`;
    const runnerTemp = `${base}/_temp`;
    const home = inContainer ? "/github/home" : "/home/runner";
    for (const folder of [workspace, runnerTemp, `${runnerTemp}/_runner_file_commands`, home]) {
      fs.mkdirSync(path.join(root, folder), { recursive: true });
    }
    // The runner makes these as its own user and mounts them into the container.
    for (const folder of [workspace, runnerTemp, `${runnerTemp}/_runner_file_commands`, base, home]) {
      fs.chownSync(path.join(root, folder), runnerUid, runnerUid);
    }
    const githubEnv = `${runnerTemp}/_runner_file_commands/set_env`;
    fs.writeFileSync(path.join(root, githubEnv), "");
    fs.chownSync(path.join(root, githubEnv), runnerUid, runnerUid);
    const env = { ...context.workflowEnv };
    // Folders that steps put on the PATH of the steps after them.
    const addedPath = [];
    // A called workflow's job logs under its caller's name too, apart from its own run.
    const log = path.join(work, `${context.caller ?? ""}${path.basename(workflowFile, ".yml")}-${jobName}.log`);
    say(`job ${path.basename(workflowFile)} / ${jobName}: ${inContainer ? "debian:12 container, steps as root" : "runner, steps as uid 1001"}; log ${path.relative(project, log)}`);
    Object.assign(env, Object.fromEntries(Object.entries(job.env ?? {})
      .map(([key, value]) => [key, evaluate(String(value), { ...context, env })])));
    for (const [index, step] of (job.steps ?? []).entries()) {
      for (const key of Object.keys(step)) {
        if (!knownStepKeys.has(key)) refuse(`${jobName} step ${index + 1}: the step key '${key}'`);
      }
      const label = step.name ?? step.uses ?? step.run.split("\n")[0];
      const stepContext = { ...context, env };
      const stepEnv = Object.fromEntries(Object.entries(step.env ?? {})
        .map(([key, value]) => [key, evaluate(String(value), stepContext)]));
      const inWorkspace = (file) => path.join(root, workspace, file);
      const stepStarted = Date.now();
      if (step.run !== undefined) {
        const script = `${runnerTemp}/step-${index + 1}.sh`;
        fs.writeFileSync(path.join(root, script), evaluate(step.run, stepContext));
        const variables = {
          ...imageEnvironment, PATH: [...addedPath, imageEnvironment.PATH].join(":"), HOME: home, CI: "true",
          GITHUB_ACTIONS: "true", GITHUB_WORKSPACE: workspace, GITHUB_ENV: githubEnv,
          GITHUB_REF: context.github.ref, GITHUB_REF_NAME: context.github.ref_name,
          GITHUB_SHA: context.github.sha, GITHUB_REPOSITORY: repository,
          GITHUB_SERVER_URL: context.github.server_url, GITHUB_JOB: jobName,
          RUNNER_OS: "Linux", RUNNER_ARCH: "X64", RUNNER_TEMP: runnerTemp,
          ...env, ...stepEnv,
        };
        const chrootArgs = inContainer ? [root] : [`--userspec=${runnerUid}:${runnerUid}`, root];
        const output = fs.openSync(log, "a");
        fs.writeSync(output, `\n--- ${label}\n`);
        const result = spawnSync("chroot", [...chrootArgs, "/usr/bin/env", "-i",
          ...Object.entries(variables).map(([key, value]) => `${key}=${value}`),
          "bash", "-c", 'cd "$GITHUB_WORKSPACE" && exec bash -e "$1"', "step", script],
        { stdio: ["ignore", output, output] });
        fs.closeSync(output);
        if (result.status !== 0) {
          const tail = fs.readFileSync(log, "utf8").trimEnd().split("\n").slice(-25).join("\n");
          refuse(`step '${label}' exited with ${result.status}; the end of its output:\n${tail}`);
        }
        // What a step adds to GITHUB_ENV, the next steps have in their environment.
        for (const line of fs.readFileSync(path.join(root, githubEnv), "utf8").split("\n")) {
          const match = line.match(/^([A-Za-z_][A-Za-z0-9_]*)=(.*)$/);
          if (match) env[match[1]] = match[2];
        }
      } else {
        const [action] = step.uses.split("@");
        const withs = Object.fromEntries(Object.entries(step.with ?? {})
          .map(([key, value]) => [key, evaluate(String(value), stepContext)]));
        const allow = (...keys) => {
          for (const key of Object.keys(withs)) {
            if (!keys.includes(key)) refuse(`${action}: the input '${key}'`);
          }
        };
        if (action === "actions/checkout") {
          allow("persist-credentials");
          // As checkout does in a container: as root, into the runner's folder,
          // trusting it only in its own configuration, which it throws away.
          run("git", ["clone", "-q", "--no-checkout", "--no-hardlinks", context.source, path.join(root, workspace)]);
          run("git", ["-c", "safe.directory=*", "-c", "advice.detachedHead=false", "-C",
            path.join(root, workspace), "checkout", "-q", context.github.sha]);
        } else if (action === "actions/upload-artifact") {
          allow("name", "path", "if-no-files-found");
          const folder = path.join(artifacts, withs.name);
          fs.mkdirSync(folder, { recursive: true });
          // A folder is uploaded whole: these workflows name one that holds
          // files only, so one that holds a folder is refused.
          const files = withs.path.split("\n").map((line) => line.trim()).filter(Boolean)
            .flatMap((file) => (fs.statSync(inWorkspace(file), { throwIfNoEntry: false })?.isDirectory()
              ? fs.readdirSync(inWorkspace(file)).map((name) => path.join(file, name)) : [file]));
          for (const file of files) {
            if (!fs.existsSync(inWorkspace(file))) {
              if (withs["if-no-files-found"] === "error") refuse(`upload-artifact: no ${file}`);
              continue;
            }
            if (fs.statSync(inWorkspace(file)).isDirectory()) refuse(`upload-artifact: ${file} is a folder`);
            fs.copyFileSync(inWorkspace(file), path.join(folder, path.basename(file)));
            context.packaged.push(path.basename(file));
          }
        } else if (action === "actions/download-artifact") {
          allow("name", "path");
          const folder = path.join(artifacts, withs.name);
          if (!fs.existsSync(folder)) refuse(`download-artifact: no artifact ${withs.name}`);
          fs.mkdirSync(inWorkspace(withs.path), { recursive: true });
          for (const file of fs.readdirSync(folder)) {
            fs.copyFileSync(path.join(folder, file), path.join(inWorkspace(withs.path), file));
          }
          run("chown", ["-R", `${runnerUid}:${runnerUid}`, inWorkspace(withs.path)]);
        } else if (action === "actions/attest-build-provenance") {
          allow("subject-path");
          if (!fs.existsSync(inWorkspace(withs["subject-path"]))) {
            refuse(`attest-build-provenance: no ${withs["subject-path"]}`);
          }
          context.attested.push(path.basename(withs["subject-path"]));
        } else if (action === "actions/setup-dotnet") {
          allow("dotnet-version");
          // This machine's SDK where the action installs one in a container,
          // when it is of the version asked for.
          const version = run("dotnet", ["--version"]).trim();
          if (!version.startsWith(withs["dotnet-version"].replace(/x$/, ""))) {
            refuse(`setup-dotnet: this machine's .NET SDK is ${version}, not ${withs["dotnet-version"]}`);
          }
          const sdk = path.dirname(fs.realpathSync(run("sh", ["-c", "command -v dotnet"]).trim()));
          run("cp", ["-a", sdk, path.join(root, "usr/share/dotnet")]);
          addedPath.unshift("/usr/share/dotnet");
          env.DOTNET_ROOT = "/usr/share/dotnet";
        } else {
          refuse(`an action the rehearsal does not know: ${step.uses}`);
        }
      }
      say(`  ${label} (${Math.round((Date.now() - stepStarted) / 1000)} s)`);
    }
    for (const line of fs.readFileSync(path.join(root, "rehearsal-gh.log"), "utf8").split("\n")) {
      if (line.startsWith("file ")) context.published.push(line.split(" ")[1]);
      else if (line) say(`  recorded, not run: ${line}`);
    }
  } finally {
    unmount(root);
    spawnSync("rm", ["-rf", "--one-file-system", root]);
  }
}

// Runs the Linux jobs of one workflow in order, each after the jobs it needs;
// a job that calls a workflow of this repository (`uses:`) runs that one's,
// with its inputs.
function runWorkflow(file, context, artifacts, inputs = {}) {
  const workflowFile = path.join(context.source, ".github", "workflows", file);
  const workflow = YAML.parse(fs.readFileSync(workflowFile, "utf8"));
  const declared = workflow.on?.workflow_call?.inputs ?? {};
  for (const name of Object.keys(inputs)) {
    if (!(name in declared)) refuse(`${file} takes no input '${name}'`);
  }
  const workflowContext = {
    ...context, workflowEnv: workflow.env ?? {},
    inputs: Object.fromEntries(Object.entries(declared).map(([name, input]) => [name, inputs[name] ?? input.default])),
  };
  const done = new Set();
  for (const [jobName, job] of Object.entries(workflow.jobs)) {
    const selected = onlyJobs.length === 0 || onlyJobs.includes(`${file.replace(".yml", "")}/${jobName}`);
    for (const need of [job.needs ?? []].flat()) {
      if (onlyJobs.length === 0 && !done.has(need)) refuse(`${jobName} needs ${need}, which has not passed`);
    }
    if (job.uses !== undefined) {
      const extra = Object.keys(job).filter((key) => !["uses", "with", "permissions", "needs"].includes(key));
      if (extra.length > 0) refuse(`${jobName}: the key '${extra[0]}' beside uses`);
      const called = job.uses.match(/^\.\/\.github\/workflows\/([^/]+\.yml)$/)?.[1] ??
        refuse(`${jobName}: uses ${job.uses}`);
      say(`job ${file} / ${jobName}: calls ${called}`);
      // A called workflow gets no secrets unless they are passed on, and none are.
      if (selected) {
        const caller = `${context.caller ?? ""}${file.replace(".yml", "")}-${jobName}.`;
        runWorkflow(called, { ...workflowContext, secrets: {}, caller }, artifacts, job.with ?? {});
      }
    } else if (!String(job["runs-on"]).startsWith("ubuntu")) {
      say(`job ${file} / ${jobName}: runs on ${job["runs-on"]}${job.if ? ` if ${job.if}` : ""}, not rehearsed here`);
      continue;
    } else if (selected) {
      runJob(workflowFile, jobName, job, workflowContext, artifacts);
    }
    done.add(jobName);
  }
}

function main() {
  if (process.getuid() !== 0) refuse("run it as root: it makes and enters Debian roots");
  say("emulated, not run: actions/checkout (a clone), upload and download of artifacts (copies), " +
    "actions/setup-dotnet (this machine's .NET SDK, copied in), " +
    "the build-provenance attestation and gh (recorded, with the files they receive), " +
    "the secrets (a throwaway authority), the ubuntu-24.04 runner (a Debian 12 root as uid 1001) " +
    "and the container's --init (the host reaps its daemons); everything under run: runs as written");
  const authority = throwawayAuthority();
  const { source, version } = prepareSource(authority);
  const artifacts = path.join(work, "artifacts");
  const tag = `v${version}`;
  const sha = run("git", ["-C", source, "rev-parse", "HEAD"]).trim();
  const release = { attested: [], published: [], packaged: [] };
  for (const [file, refName] of [["ci.yml", "main"], ["release.yml", tag]]) {
    runWorkflow(file, {
      source, secrets: authority.secrets,
      github: { ref: file === "ci.yml" ? "refs/heads/main" : `refs/tags/${tag}`, ref_name: refName, sha, server_url: "https://github.com", repository, token: "rehearsal-token" },
      ...release,
    }, artifacts);
  }
  if (onlyJobs.length === 0 || onlyJobs.includes("release/publish")) {
    // What the packaging made is what the release attaches: the artifact holds
    // the package folder's files, and gh is handed exactly those.
    const packaged = JSON.stringify(release.packaged.sort());
    if (release.packaged.length === 0 || JSON.stringify([...release.published].sort()) !== packaged) {
      refuse(`gh release create would attach ${release.published.join(", ") || "nothing"}; the packaging made ${release.packaged.join(", ") || "nothing"}`);
    }
    const zip = `${run("sh", [path.join(source, "scripts", "helpers", "release-name.sh"), version]).trim()}.zip`;
    if (JSON.stringify(release.attested) !== JSON.stringify([zip])) {
      refuse(`attested ${release.attested.join(", ") || "nothing"}; expected the zip alone`);
    }
    say(`the release would attach the ${release.packaged.length} files the packaging made and attest ${release.attested[0]}`);
  }
  say(onlyJobs.length === 0 ? "PASSED: every Linux job of ci.yml and release.yml"
    : `PASSED: ${onlyJobs.join(", ")}`);
}

try {
  main();
  // The jobs' logs outlive a pass, in a folder of their own.
  const logs = path.join(project, "build", "rehearsal-logs");
  fs.rmSync(logs, { recursive: true, force: true });
  fs.mkdirSync(logs, { recursive: true });
  for (const file of fs.readdirSync(work).filter((name) => name.endsWith(".log"))) {
    fs.copyFileSync(path.join(work, file), path.join(logs, file));
  }
  say(`the jobs' logs are in ${path.relative(project, logs)}`);
  fs.rmSync(work, { recursive: true, force: true });
} catch (error) {
  console.log(`[rehearsal] FAILED: ${error instanceof Refusal ? error.message : error.stack}`);
  console.log(`[rehearsal] logs are kept in ${path.relative(project, work)}`);
  process.exit(1);
}
