#!/bin/sh
# Checks what a Windows user gets: a 64-bit console program that imports nothing
# but Windows system DLLs and carries its as-invoker manifest.
# usage: check-executable.sh Quorvane.exe
set -u
exe=$1
headers=$(x86_64-w64-mingw32-objdump -p "$exe") || { echo "cannot read $exe"; exit 1; }
failed=0
check() {
  if printf '%s\n' "$headers" | grep -Eq "$1"; then echo "ok: $2"; else echo "FAILED: $2"; failed=1; fi
}
check '^Magic[[:space:]]+020b' "PE32+"
check '^Subsystem[[:space:]]+00000003' "Windows console subsystem"
check 'file format pei-x86-64' "x86-64 machine"

imports=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
for dll in $imports; do
  case "$dll" in
    kernel32.dll|msvcrt.dll|ole32.dll|advapi32.dll|user32.dll|api-ms-win-*.dll) echo "ok: imports $dll" ;;
    *) echo "FAILED: imports $dll, which is not a Windows system DLL"; failed=1 ;;
  esac
done

manifest=$(x86_64-w64-mingw32-strings "$exe" | tr -d '\r\n')
case "$manifest" in
  *'level="asInvoker" uiAccess="false"'*) echo "ok: manifest asks for asInvoker, no UI access" ;;
  *) echo "FAILED: no asInvoker manifest"; failed=1 ;;
esac
exit $failed
