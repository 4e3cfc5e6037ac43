#!/usr/bin/env bash
# Builds Quorvane.exe and runs it under Wine with the given arguments, for example:
#   scripts/run.sh disable render "Speakers"
# Its output and exit status are Quorvane's own.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target Quorvane >/dev/null

export WINEPREFIX="$PWD/build/mingw/wineprefix" WINEDEBUG=-all
# No Mono or Gecko set-up.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating a private Wine prefix in $WINEPREFIX (once, 10-60 s)..." >&2
  wineboot -i >/dev/null 2>&1 </dev/null || true
fi
# Wine's background services start with the first program and keep the output
# they inherit open; start them here so that piping this script's output ends.
wine cmd.exe /c exit >/dev/null 2>&1 </dev/null
# Quorvane writes only to standard output; on a machine without a sound card,
# Wine's ALSA driver reports its probing on standard error, which is left out.
wine build/mingw/Quorvane.exe "$@" 2> >(grep -v '^ALSA lib ' >&2)
