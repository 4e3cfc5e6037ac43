#!/bin/sh
# Starts or stops the private Wine prefix that the test programs run in.
# usage: wine-prefix.sh start|stop PREFIX
set -eu
action=$1
export WINEPREFIX="$2" WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=

case "$action" in
  start)
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      # Without the 32-bit half of Wine, wineboot complains about syswow64 and
      # exits non-zero although the 64-bit prefix is complete.
      wineboot -i >/dev/null 2>&1 </dev/null || true
      # The registry reaches the disk when the wineserver that holds it ends.
      wineserver -w
      [ -f "$WINEPREFIX/system.reg" ] || { echo "wineboot could not create $WINEPREFIX"; exit 1; }
    fi
    # Keeps one wineserver up for the whole run; it answers 2 when one already is.
    wineserver -p >/dev/null 2>&1 </dev/null || true
    # The first program in a prefix starts Wine's background services, which keep
    # whatever output they inherit open; give them nothing a test reads to its end.
    wine cmd.exe /c exit >/dev/null 2>&1 </dev/null
    echo "Wine prefix ready: $WINEPREFIX"
    ;;
  stop)
    wineserver -k >/dev/null 2>&1 || true
    echo "Wine prefix stopped: $WINEPREFIX"
    ;;
  *)
    echo "usage: wine-prefix.sh start|stop PREFIX" >&2
    exit 64
    ;;
esac
