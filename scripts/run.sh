#!/bin/sh
# Builds Quorvane.exe and runs it under Wine with the given arguments, against a
# simulated machine with a handful of ordinary playback and recording endpoints:
#   scripts/run.sh disable render "Virtual"
#   scripts/run.sh enable render "Virtual"
#   scripts/run.sh --list     the simulated endpoints and their states
#   scripts/run.sh --reset    every endpoint back as it first was
# Quorvane's output and exit status are its own. The simulation lives only in a
# Wine prefix inside build/; Quorvane.exe itself knows nothing of it.
set -eu
cd "$(dirname "$0")/.."
machine=build/mingw/demo-machine.txt

# Each endpoint: its flow, its presence, whether it is shown, its name.
list() {
  awk '$1 == "endpoint" {
    name = $0
    for (i = 1; i <= 5; i++) sub(/^[ \t]*[^ \t]+[ \t]/, "", name)
    printf "%-10s %-10s %-7s %s\n", ($2 == "render" ? "Playback" : "Recording"), $3, $4, name
  }' "$machine"
}

mkdir -p build/mingw
[ -f "$machine" ] || cp simulator/default-machine.txt "$machine"
case "${1:-}" in
  --list) list; exit 0 ;;
  --reset) cp simulator/default-machine.txt "$machine"; list; exit 0 ;;
esac

./scripts/install-deps.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target Quorvane QuorvaneAudioSimulator >/dev/null

export WINEPREFIX="$PWD/build/mingw/wineprefix-demo" WINEDEBUG=-all
[ -f "$WINEPREFIX/system.reg" ] || echo "Creating a private Wine prefix (once, 10-60 s)..." >&2
sh scripts/wine-prefix.sh start "$WINEPREFIX" "$PWD/build/mingw/QuorvaneAudioSimulator.dll" >/dev/null
QUORVANE_SIMULATOR_MACHINE=$(winepath -w "$machine")
export QUORVANE_SIMULATOR_MACHINE
status=0
wine build/mingw/Quorvane.exe "$@" || status=$?
sh scripts/wine-prefix.sh stop "$WINEPREFIX" >/dev/null
exit $status
