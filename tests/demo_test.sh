#!/bin/sh
# The demo as a new user meets it: built by scripts/run.sh with the demo preset
# from an empty folder, a change that lasts, and a machine file with a typo or
# one that cannot be saved, neither of which may claim a change.
# usage: demo_test.sh SOURCE_FOLDER WORK_FOLDER   (WORK_FOLDER under build/, emptied first)
set -eu
cd "$1"
rm -rf "$2"
mkdir -p "$2"
work=$(cd "$2" && pwd)
machine=$work/machine.txt
export QUORVANE_DEMO_MACHINE="$machine" QUORVANE_DEMO_BUILD="$2"
# A failure shows the last run's standard error too, where run.sh explains itself.
fail() {
  echo "demo: $*"
  [ ! -s "$work/err" ] || sed 's/^/  stderr: /' "$work/err"
  exit 1
}
demo() { status=0; scripts/run.sh "$@" >"$work/out" 2>"$work/err" || status=$?; }

demo --reset
tab=$(printf '\t')
grep -q "^Playback${tab}active${tab}{.*}${tab}Speakers (Realtek(R) Audio)" "$work/out" ||
  fail "--reset: status $status: $(cat "$work/out")"
demo disable render Virtual
[ "$status" -eq 0 ] || fail "disable render Virtual: status $status: $(cat "$work/err")"
printf 'Playback: Cable Input - Virtual Speakers (VB-Audio Virtual Cable) -> DISABLED\r\n' | cmp -s - "$work/out" ||
  fail "disable render Virtual: $(cat "$work/out")"
demo --list
grep -q "^Playback${tab}disabled${tab}{.*}${tab}Cable Input - Virtual Speakers (VB-Audio Virtual Cable)" "$work/out" ||
  fail "the change did not last"
# By id, as the listing gives it: that endpoint alone, shown again.
id=$(sed -n "s/^Playback${tab}disabled${tab}\({[^${tab}]*\)${tab}Cable Input.*/\1/p" "$work/out")
demo --id enable "$id"
[ "$status" -eq 0 ] || fail "--id enable $id: status $status: $(cat "$work/out")"
printf 'Playback: Cable Input - Virtual Speakers (VB-Audio Virtual Cable) -> ENABLED\r\n' | cmp -s - "$work/out" ||
  fail "--id enable $id: $(cat "$work/out")"
demo --list
! grep -q "${tab}disabled${tab}{.*}${tab}Cable Input" "$work/out" || fail "--id: the change did not last"

# Refused: status 3, the file and the problem named, and the file as it was.
refused() {
  said=$1
  shift
  cp "$machine" "$work/before.txt"
  demo "$@"
  [ "$status" -eq 3 ] || fail "$*: status $status"
  grep -q -F "$machine: $said" "$work/err" || fail "$*: $(cat "$work/err")"
  cmp -s "$work/before.txt" "$machine" || fail "$*: the file changed"
}
# A typo stops the run, before Quorvane runs, and --list alike.
sed 's/^endpoint render active shown \(.*Speakers (Realtek\)/endpoint rendr \1/' simulator/default-machine.txt >"$machine"
refused "line 5: expected: endpoint render|capture" disable render Speakers
[ ! -s "$work/out" ] || fail "Quorvane ran despite the typo: $(cat "$work/out")"
refused "line 5: expected: endpoint render|capture" --list
# A change that cannot be saved is said to have failed.
cp simulator/default-machine.txt "$machine"
chmod a-w "$machine"
refused "the change could not be saved" disable render Virtual
chmod u+w "$machine"
echo "Demo: a change lasts, by name and by id; a typo and an unsaved change are refused, each naming the file."
