#!/bin/sh
# Starts or stops a private Wine prefix that test programs run in.
# usage: wine-prefix.sh start PREFIX [SIMULATOR_DLL [enumerator,policy]]
#        wine-prefix.sh stop PREFIX
# PREFIX lies directly in a build folder. Nothing is written outside that
# folder but the booted template that every prefix starts as a copy of, kept
# beside the build folders when they lie in the project's build/ (so that it is
# booted once for them all), otherwise in the build folder. With SIMULATOR_DLL,
# the prefix's registry serves the named classes (both by default) from that
# DLL instead of from Wine's own audio stack.
set -eu
action=$1
export WINEPREFIX="$2"
# shellcheck source=scripts/helpers/wine-environment.sh
. "$(dirname "$0")/wine-environment.sh"

# The simulated classes (when a DLL is named), and no debugger for a program
# that crashes. With none named Wine starts winedbg, which can end the crashed
# program with status 0; a debugger that cannot start leaves the exception's
# code as its status, so a crash in a test never passes for a success.
configure() {
  reg="$WINEPREFIX/quorvane-prefix.reg"
  printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug]\n"Debugger"="no-debugger"\n' > "$reg"
  if [ -n "$1" ]; then
    dll=$(winepath -w "$1" | sed 's/\\/\\\\/g')
    for class in $(echo "$2" | tr ',' ' '); do
      case "$class" in
        enumerator) clsid='{BCDE0395-E52F-467C-8E3D-C4579291692E}' ;;
        policy) clsid='{870AF99C-171D-4F9E-AF0D-E63DF40C2BC9}' ;;
        *) echo "unknown class: $class"; exit 64 ;;
      esac
      printf '\n[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\%s\\InprocServer32]\n@="%s"\n"ThreadingModel"="Both"\n' \
        "$clsid" "$dll" >> "$reg"
    done
  fi
  if ! wine regedit /S "$(winepath -w "$reg")" >"$reg.log" 2>&1 </dev/null; then
    cat "$reg.log"
    echo "regedit could not configure $WINEPREFIX"
    exit 1
  fi
}

case "$action" in
  start)
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      # Booting a prefix takes 10-60 s; it is done once, and each prefix starts
      # as a copy. The lock keeps two prefixes that start together from booting
      # the same template at once.
      folder=$(dirname "$WINEPREFIX")
      shared=$(dirname "$folder")
      [ "$(basename "$shared")" = build ] || shared=$folder
      template="$shared/wineprefix-template"
      exec 9>"$template.lock"
      flock 9
      if [ ! -f "$template/system.reg" ]; then
        rm -rf "$template"
        # Without the 32-bit half of Wine, wineboot complains about syswow64 and
        # exits non-zero although the 64-bit prefix is complete.
        WINEPREFIX="$template" wineboot -i >/dev/null 2>&1 </dev/null || true
        # The registry reaches the disk when the wineserver that holds it ends.
        WINEPREFIX="$template" wineserver -w
        [ -f "$template/system.reg" ] || { echo "wineboot could not create $template"; exit 1; }
      fi
      rm -rf "$WINEPREFIX"
      cp -a "$template" "$WINEPREFIX"
      exec 9>&-
    fi
    # Keeps one wineserver up for the whole run; it answers 2 when one already is.
    wineserver -p >/dev/null 2>&1 </dev/null || true
    # The first program in a prefix starts Wine's background services, which keep
    # whatever output they inherit open; give them nothing a test reads to its end.
    wine cmd.exe /c exit >/dev/null 2>&1 </dev/null
    configure "${3:-}" "${4:-enumerator,policy}"
    [ -z "${3:-}" ] || echo "Simulated classes (${4:-enumerator,policy}) served from $3"
    echo "Wine prefix ready: $WINEPREFIX"
    ;;
  stop)
    wineserver -k >/dev/null 2>&1 || true
    echo "Wine prefix stopped: $WINEPREFIX"
    ;;
  *)
    echo "usage: wine-prefix.sh start|stop PREFIX [SIMULATOR_DLL [CLASSES]]" >&2
    exit 64
    ;;
esac
