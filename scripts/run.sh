#!/bin/sh
# Builds Quorvane.exe and runs it under Wine with the given arguments, against a
# simulated machine with a handful of ordinary playback and recording endpoints:
#   scripts/run.sh disable render "Virtual"
#   scripts/run.sh enable render "Virtual"
#   scripts/run.sh --list [FLOW [SUBSTRING]]   QuorvaneList.exe: the endpoints,
#                             their states and ids, as Quorvane sees them
#   scripts/run.sh --id enable|disable ID [ID...]   QuorvaneId.exe: exactly the
#                             endpoints with these ids, as the listing gives them
#   scripts/run.sh --reset    every endpoint back as it first was, then the
#                             listing, which shows it
# Quorvane's output and exit status are its own. The demo's own failures have
# status 3, on standard error: a machine file with a line it cannot read (it is
# left as it is, and Quorvane does not run), or a change that could not be saved.
# The machine is build/demo/demo-machine.txt, or the file that
# QUORVANE_DEMO_MACHINE names with an absolute path. The simulation lives only
# in a Wine prefix inside build/demo; the programs themselves know nothing of it.
set -eu
cd "$(dirname "$0")/.."
# QUORVANE_DEMO_BUILD may name another folder under build/ for the demo's
# build, its prefix and its machine (the tests use one of their own).
build=${QUORVANE_DEMO_BUILD:-build/demo}
machine=${QUORVANE_DEMO_MACHINE:-$build/demo-machine.txt}

./scripts/install-deps.sh build
cmake --preset demo -B "$build" >/dev/null
cmake --build "$build" >/dev/null
if [ ! -f "$machine" ] || [ "${1:-}" = --reset ]; then
  cp simulator/default-machine.txt "$machine"
fi

export WINEPREFIX="$PWD/$build/wineprefix-demo"
# shellcheck source=scripts/helpers/wine-environment.sh
. scripts/helpers/wine-environment.sh
[ -f "$WINEPREFIX/system.reg" ] || echo "Creating a private Wine prefix (once, 10-60 s)..." >&2
sh scripts/helpers/wine-prefix.sh start "$WINEPREFIX" "$PWD/$build/QuorvaneAudioSimulator.dll" >/dev/null
trap 'sh scripts/helpers/wine-prefix.sh stop "$WINEPREFIX" >/dev/null' EXIT
QUORVANE_SIMULATOR_MACHINE=$(winepath -w "$machine")
QUORVANE_SIMULATOR_PROBLEMS=$(winepath -w "$build/demo-problems.txt")
export QUORVANE_SIMULATOR_MACHINE QUORVANE_SIMULATOR_PROBLEMS

# Every line of the demo's own failures names the machine file.
fail() {
  while IFS= read -r line; do printf 'run.sh: %s: %s\n' "$machine" "$line" >&2; done
  exit 3
}

# The simulator's own reading of the machine file refuses to run anything
# against a file it cannot read whole.
if ! problems=$(wine "$build/QuorvaneMachine.exe" "$QUORVANE_SIMULATOR_MACHINE"); then
  printf '%s\n' "$problems" | fail
fi

rm -f "$build/demo-problems.txt"
status=0
case "${1:-}" in
  --list) shift; wine "$build/QuorvaneList.exe" "$@" || status=$? ;;
  --id) shift; wine "$build/QuorvaneId.exe" "$@" || status=$? ;;
  --reset) wine "$build/QuorvaneList.exe" || status=$? ;;
  *) wine "$build/Quorvane.exe" "$@" || status=$? ;;
esac
if [ -s "$build/demo-problems.txt" ]; then
  fail <"$build/demo-problems.txt"
fi
exit $status
