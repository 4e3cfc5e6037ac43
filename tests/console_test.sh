#!/bin/sh
# The programs at a terminal and through a pipe, against a simulated machine
# whose names go beyond Latin-1. At a terminal every name shows whole and each
# line ends once, with -utf8 too; through a pipe the bytes are exactly the
# scripts' contract, or with -utf8 every name whole in UTF-8.
# Wine's own console turns each half of a character beyond U+FFFF into U+FFFD
# as it draws it, so there the terminal shows two of those; in-process tests
# check that such a pair reaches the console whole.
# usage: console_test.sh BUILD_FOLDER   (WINEPREFIX names the simulated prefix, started)
set -eu
build=$(cd "$1" && pwd)
work=$build/console-test
rm -rf "$work"
mkdir -p "$work"
fail() { echo "console: $*"; exit 1; }

# One line a name. The long ones hold a headphones emoji where a line ends its
# first piece of 512 units, so that the pair straddles the two pieces: the
# filler before it is sized from the prefix each program writes before the
# name, Quorvane's "Playback: " and the listing's flow, state and id.
piece=512
id_of() { printf '{n%d}' "$1"; }
filler() { printf "%0${2}d" 0 | tr 0 "$1"; }
quorvane_prefix="Playback: "
list_prefix=$(printf 'Playback\tactive\t%s\t' "$(id_of 6)")
long=$(filler L $((piece - 1 - ${#quorvane_prefix})))
longer=$(filler M $((piece - 1 - ${#list_prefix})))
cat >"$work/names" <<NAMES
Kopfhörer
Динамики (Realtek High Definition Audio)
扬声器 (Realtek(R) Audio)
Headphones 🎧
${long}🎧tail
${longer}🎧tail
NAMES
# The listing's long name is the sixth, as its prefix above has it.
[ "$(sed -n 6p "$work/names")" = "${longer}🎧tail" ] || fail "the listing's long name is not the sixth"
n=0
while IFS= read -r name; do
  n=$((n + 1))
  echo "endpoint render active shown $(id_of $n) $name"
done <"$work/names" >"$work/machine-original.txt"
QUORVANE_SIMULATOR_MACHINE=$(winepath -w "$work/machine.txt")
export QUORVANE_SIMULATOR_MACHINE

# What a terminal holds: the pseudo-terminal's bytes without the console's
# cursor sequences and carriage returns. It is wide enough that no line wraps.
at_terminal() {
  cp "$work/machine-original.txt" "$work/machine.txt"
  script -q -e -c "stty cols 2000 rows 50; wine $*" /dev/null </dev/null >"$work/raw" ||
    fail "$*: status $? at a terminal"
  sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' "$work/raw" | tr -d '\r'
}
through_pipe() {
  cp "$work/machine-original.txt" "$work/machine.txt"
  status=0
  wine "$@" | cat >"$work/piped" || status=$?
}

# The names as Wine's console draws them, and as the byte contract has them:
# Latin-1 as its byte, anything above U+00FF as '?' (a pair as '??').
sed 's/🎧/\xef\xbf\xbd\xef\xbf\xbd/' "$work/names" >"$work/drawn"
printf '%b\n' 'Kopfh\0366rer' '???????? (Realtek High Definition Audio)' '??? (Realtek(R) Audio)' \
  'Headphones ??' "${long}??tail" "${longer}??tail" >"$work/bytes"

check() {
  label=$1
  expected=$2
  actual=$3
  cmp -s "$expected" "$actual" || fail "$label: expected $(od -c "$expected" | head -5) got $(od -c "$actual" | head -5)"
}

sed 's/.*/Playback: & -> DISABLED/' "$work/drawn" >"$work/expected"
at_terminal "$build/Quorvane.exe" disable render "''" >"$work/shown"
check "Quorvane at a terminal" "$work/expected" "$work/shown"
LC_ALL=C sed 's/.*/Playback: & -> DISABLED\r/' "$work/bytes" >"$work/expected"
through_pipe "$build/Quorvane.exe" disable render ""
[ "$status" -eq 0 ] || fail "Quorvane through a pipe: status $status"
check "Quorvane through a pipe" "$work/expected" "$work/piped"

# QuorvaneId.exe prints as Quorvane does: at a terminal, the characters.
sed -n 's/.*/Playback: & -> DISABLED/; 2p; 4p' "$work/drawn" >"$work/expected"
at_terminal "$build/QuorvaneId.exe" disable "$(id_of 2)" "$(id_of 4)" >"$work/shown"
check "QuorvaneId at a terminal" "$work/expected" "$work/shown"

# The listing's tabs are drawn as spaces to the next tab stop.
awk '{ printf "Playback\tactive\t{n%d}\t%s\n", NR, $0 }' "$work/drawn" | expand >"$work/expected"
for switch in "" -utf8; do
  # shellcheck disable=SC2086 # the switch, or nothing
  at_terminal "$build/QuorvaneList.exe" $switch render >"$work/shown"
  check "QuorvaneList${switch:+ $switch} at a terminal" "$work/expected" "$work/shown"
done
list_lines() { LC_ALL=C awk '{ printf "Playback\tactive\t{n%d}\t%s\r\n", NR, $0 }' "$1"; }
list_lines "$work/bytes" >"$work/expected"
through_pipe "$build/QuorvaneList.exe" render
check "QuorvaneList through a pipe" "$work/expected" "$work/piped"
list_lines "$work/names" >"$work/expected"
through_pipe "$build/QuorvaneList.exe" -utf8 render
check "QuorvaneList -utf8 through a pipe" "$work/expected" "$work/piped"
echo "Console: every name whole at a terminal, each line ended once; exact bytes through a pipe."
