#!/usr/bin/env python3
"""Plants the faults of a list in the source one at a time, builds and tests each
and puts the source back: a fault that the tests let pass (exit status 0) is
one that they would miss, and a fault that does not build is no fault of the
kind the tests are there for, so it fails the check too.

usage: plant-faults.py FAULTS [--only TEXT] --build COMMAND --test COMMAND
       plant-faults.py FAULTS --check

Run from the project's root. FAULTS holds faults written as

    === NAME FILE
    <<<
    the text as it stands in FILE, exactly once
    >>>
    the text that takes its place

Both commands run through the shell, with FAULT_FILE naming the planted file,
so the test command can run only the tests that can see a fault there. --only
keeps the faults whose name contains TEXT. Exits 0 only when every fault was
planted, built and caught; the commands' own output goes to
build/plant-faults.log.

--check builds and runs nothing: it only checks, in a moment, that every fault
still applies to the source as it stands (its text occurs exactly once, and
planting it changes the file), and names each that does not."""

import os
import signal
import subprocess
import sys
import time


def read_faults(path):
    faults = []
    part = None
    with open(path, encoding="utf-8") as listing:
        for line in listing.read().split("\n"):
            if line.startswith("=== "):
                name, _, file = line[4:].partition(" ")
                faults.append({"name": name, "file": file.strip(), "old": [], "new": []})
                part = None
            elif faults and line in ("<<<", ">>>"):
                part = "old" if line == "<<<" else "new"
            elif faults and part:
                faults[-1][part].append(line)
    for fault in faults:
        for part in ("old", "new"):
            fault[part] = "\n".join(fault[part]).rstrip("\n")
    return faults


# Why a fault cannot be planted in the source as it stands, or nothing.
def orphaned(fault, original):
    count = original.count(fault["old"]) if fault["old"] else 0
    if count != 1:
        return f"its text occurs {count} times in {fault['file']}"
    if fault["old"] == fault["new"]:
        return "planting it changes nothing"
    return None


def check(faults):
    failed = 0
    for fault in faults:
        try:
            with open(fault["file"], encoding="utf-8", newline="") as source:
                reason = orphaned(fault, source.read())
        except OSError as error:
            reason = f"{fault['file']} cannot be read: {error.strerror}"
        if reason:
            print(f"{fault['name']}: NOT PLANTABLE: {reason}")
            failed += 1
    print(f"planted faults: {len(faults) - failed} of {len(faults)} still apply to the source")
    return 1 if failed else 0


def main(arguments):
    if arguments[1:] == ["--check"]:
        return check(read_faults(arguments[0]))
    options = {}
    for name in ("--only", "--build", "--test"):
        if name in arguments:
            at = arguments.index(name)
            options[name] = arguments[at + 1]
            del arguments[at:at + 2]
    if len(arguments) != 1 or "--build" not in options or "--test" not in options:
        sys.exit(__doc__)
    only = options.get("--only", "")
    faults = [fault for fault in read_faults(arguments[0]) if only in fault["name"]]
    if not faults:
        sys.exit("no faults to plant")

    # The source is always put back, also when the run is interrupted.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    os.makedirs("build", exist_ok=True)
    failed = []
    with open("build/plant-faults.log", "w") as log:
        for fault in faults:
            with open(fault["file"], encoding="utf-8", newline="") as source:
                original = source.read()
            reason = orphaned(fault, original)
            if reason:
                print(f"{fault['name']:48} NOT PLANTED: {reason}", flush=True)
                failed.append(fault["name"])
                continue
            started = time.monotonic()
            environment = dict(os.environ, FAULT_FILE=fault["file"])
            run = lambda command: subprocess.run(command, shell=True, env=environment,
                                                 stdout=log, stderr=log).returncode
            try:
                with open(fault["file"], "w", encoding="utf-8", newline="") as source:
                    source.write(original.replace(fault["old"], fault["new"]))
                print(f"=== {fault['name']}", file=log, flush=True)
                if run(options["--build"]) != 0:
                    verdict = "DOES NOT BUILD"
                elif run(options["--test"]) == 0:
                    verdict = "MISSED"
                else:
                    verdict = "caught"
            finally:
                with open(fault["file"], "w", encoding="utf-8", newline="") as source:
                    source.write(original)
            print(f"{fault['name']:48} {verdict} ({time.monotonic() - started:.0f} s)", flush=True)
            if verdict != "caught":
                failed.append(fault["name"])
    print(f"{len(faults) - len(failed)} of {len(faults)} faults caught")
    if failed:
        print("not caught (missed, not built or not planted): " + ", ".join(failed))
    return 1 if failed else 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except KeyboardInterrupt:
        sys.exit(130)
