#!/usr/bin/env python3
"""Plants the faults of a list in the source one at a time, runs a test command
against each and puts the source back: a fault that the command lets pass (exit
status 0) is one that the tests would miss.

usage: plant-faults.py FAULTS [--only TEXT] -- COMMAND [ARGUMENT...]

Run from the project's root. FAULTS holds faults written as

    === NAME FILE
    <<<
    the text as it stands in FILE, exactly once
    >>>
    the text that takes its place

--only keeps the faults whose name contains TEXT. Exits 0 only when every fault
was planted and caught; the command's own output goes to
build/plant-faults.log."""

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


def main(arguments):
    if "--" not in arguments or arguments.index("--") == 0:
        sys.exit(__doc__)
    split = arguments.index("--")
    options, command = arguments[:split], arguments[split + 1:]
    only = options[options.index("--only") + 1] if "--only" in options else ""
    faults = [fault for fault in read_faults(options[0]) if only in fault["name"]]
    if not faults or not command:
        sys.exit("no faults to plant, or no command to run")

    # The source is always put back, also when the run is interrupted.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    os.makedirs("build", exist_ok=True)
    missed = []
    with open("build/plant-faults.log", "w") as log:
        for fault in faults:
            with open(fault["file"], encoding="utf-8", newline="") as source:
                original = source.read()
            count = original.count(fault["old"]) if fault["old"] else 0
            if count != 1:
                print(f"{fault['name']:48} NOT PLANTED: its text occurs {count} times", flush=True)
                missed.append(fault["name"])
                continue
            started = time.monotonic()
            try:
                with open(fault["file"], "w", encoding="utf-8", newline="") as source:
                    source.write(original.replace(fault["old"], fault["new"]))
                print(f"=== {fault['name']}", file=log, flush=True)
                status = subprocess.run(command, stdout=log, stderr=log).returncode
            finally:
                with open(fault["file"], "w", encoding="utf-8", newline="") as source:
                    source.write(original)
            verdict = "caught" if status != 0 else "MISSED"
            print(f"{fault['name']:48} {verdict} ({time.monotonic() - started:.0f} s)", flush=True)
            if status == 0:
                missed.append(fault["name"])
    print(f"{len(faults) - len(missed)} of {len(faults)} faults caught")
    if missed:
        print("missed or not planted: " + ", ".join(missed))
    return 1 if missed else 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except KeyboardInterrupt:
        sys.exit(130)
