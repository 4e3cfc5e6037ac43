#!/bin/sh
# The demo as a new user meets it: a change that lasts, a machine file with a
# typo, and one that cannot be saved. Neither of the last two may claim a change.
# usage: demo_test.sh SOURCE_FOLDER WORK_FOLDER
set -eu
cd "$1"
work=$2
mkdir -p "$work"
export QUORVANE_DEMO_MACHINE="$work/machine.txt"
fail() { echo "demo: $*"; exit 1; }
demo() { status=0; scripts/run.sh "$@" >"$work/out" 2>"$work/err" || status=$?; }
crlf() { printf '%s\r\n' "$@"; }

demo --reset
grep -q -x 'Playback  active     shown  Speakers (Realtek(R) Audio)' "$work/out" || fail "--reset lists no Speakers"
demo disable render Virtual
[ "$status" -eq 0 ] || fail "disable render Virtual: status $status: $(cat "$work/err")"
[ "$(cat "$work/out")" = "$(crlf 'Playback: Cable Input - Virtual Speakers (VB-Audio Virtual Cable) -> DISABLED')" ] ||
  fail "disable render Virtual: $(cat "$work/out")"
demo --list
grep -q -x 'Playback  active     hidden Cable Input - Virtual Speakers (VB-Audio Virtual Cable)' "$work/out" ||
  fail "the change did not last"

# A typo stops the run and --list alike before anything runs, naming its line.
sed 's/^endpoint render active shown \(.*Speakers (Realtek\)/endpoint rendr active shown \1/' \
  simulator/default-machine.txt >"$QUORVANE_DEMO_MACHINE"
cp "$QUORVANE_DEMO_MACHINE" "$work/typo.txt"
for arguments in "disable render Speakers" --list; do
  # shellcheck disable=SC2086 # the words of the command line
  demo $arguments
  [ "$status" -eq 3 ] || fail "$arguments with a typo: status $status"
  [ ! -s "$work/out" ] || fail "$arguments with a typo ran: $(cat "$work/out")"
  grep -q -F "$QUORVANE_DEMO_MACHINE: line 5: expected: endpoint render|capture" "$work/err" ||
    fail "$arguments with a typo: $(cat "$work/err")"
  cmp -s "$work/typo.txt" "$QUORVANE_DEMO_MACHINE" || fail "$arguments changed the file"
done

# A change that cannot be saved is said to have failed.
cp simulator/default-machine.txt "$QUORVANE_DEMO_MACHINE"
chmod a-w "$QUORVANE_DEMO_MACHINE"
demo disable render Virtual
chmod u+w "$QUORVANE_DEMO_MACHINE"
[ "$status" -eq 3 ] || fail "a read-only machine file: status $status"
grep -q -F "$QUORVANE_DEMO_MACHINE: the change could not be saved" "$work/err" || fail "$(cat "$work/err")"
cmp -s simulator/default-machine.txt "$QUORVANE_DEMO_MACHINE" || fail "the read-only file changed"
echo "Demo: a change lasts; a typo and an unsaved change are refused, each naming the file."
