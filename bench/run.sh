#!/bin/sh
# Measures Quorvane.exe under Wine against the simulated audio stack with 1, 100,
# 1,000 and 10,000 endpoints, every one matching and none matching, beside a
# floor: the same program with its output taken out, which makes exactly the
# same platform calls. The two run alternately, REPEAT times each (default 5);
# the table gives median wall time and peak resident memory. Then
# QuorvaneId.exe with 1 to 100 ids on 100 and 1,000 endpoints, beside
# Quorvane.exe changing the same endpoints by a substring. Then, where
# PowerShell is installed, the module's Get-QuorvaneEndpoint beside the lister
# alone (bench/module.ps1).
# usage: bench/run.sh [REPEAT]
set -eu
cd "$(dirname "$0")/.."
repeat=${1:-5}
# GNU time measures the peak memory.
./scripts/install-deps.sh build googletest time
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target Quorvane QuorvaneId QuorvaneFloor QuorvaneAudioSimulator >/dev/null

work="$PWD/build/mingw/bench"
mkdir -p "$work"
export WINEPREFIX="$PWD/build/mingw/wineprefix-bench"
# shellcheck source=scripts/helpers/wine-environment.sh
. scripts/helpers/wine-environment.sh
sh scripts/helpers/wine-prefix.sh start "$WINEPREFIX" "$PWD/build/mingw/QuorvaneAudioSimulator.dll" >/dev/null
trap 'sh scripts/helpers/wine-prefix.sh stop "$WINEPREFIX" >/dev/null' EXIT
QUORVANE_SIMULATOR_MACHINE=$(winepath -w "$work/machine.txt")
export QUORVANE_SIMULATOR_MACHINE

# One run of a program with its arguments on the machine named, its output
# going to a file as a script's would: prints "milliseconds kibibytes". The
# machine is laid anew each time, so every run makes the same changes.
measure() {
  cp "$work/machine-$1.txt" "$work/machine.txt"
  shift
  start=$(date +%s%N)
  # Status 2 (nothing matched) is part of what is measured, not an error here.
  /usr/bin/time -f %M -o "$work/rss" wine "$@" >"$work/output" || true
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000000 )) $(tail -n 1 "$work/rss")"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "Quorvane.exe $(stat -c %s build/mingw/Quorvane.exe) bytes; $(nproc) cores; $(uname -m); $(wine --version)"
echo "endpoints | matching | Quorvane ms | floor ms | ratio | Quorvane KiB | floor KiB"
for count in 1 100 1000 10000; do
  awk -v n="$count" 'BEGIN { for (i = 0; i < n; i++)
    printf "endpoint render active shown {s%d} Speakers %d (Simulated Audio)\n", i, i }' > "$work/machine-$count.txt"
  for mode in all none; do
    if [ "$mode" = all ]; then substring="Speakers"; else substring="Headphones"; fi
    : > "$work/tool"; : > "$work/floor"
    for _ in $(seq "$repeat"); do
      measure "$count" build/mingw/Quorvane.exe disable render "$substring" >> "$work/tool"
      measure "$count" build/mingw/QuorvaneFloor.exe disable render "$substring" >> "$work/floor"
    done
    tool_ms=$(cut -d' ' -f1 "$work/tool" | median); floor_ms=$(cut -d' ' -f1 "$work/floor" | median)
    tool_kb=$(cut -d' ' -f2 "$work/tool" | median); floor_kb=$(cut -d' ' -f2 "$work/floor" | median)
    ratio=$(awk -v a="$tool_ms" -v b="$floor_ms" 'BEGIN { printf "%.2f", a / b }')
    echo "$count | $mode | $tool_ms | $floor_ms | $ratio | $tool_kb | $floor_kb"
  done
done

# QuorvaneId.exe goes over the endpoints once for each id: beside Quorvane.exe
# hiding the same endpoints, the first of the machine, by a substring that
# selects exactly them.
echo "endpoints | ids | QuorvaneId ms | Quorvane ms | ratio | QuorvaneId KiB | Quorvane KiB"
for count in 100 1000; do
  for ids in 1 10 100; do
    awk -v n="$count" -v k="$ids" 'BEGIN { for (i = 0; i < n; i++)
      printf "endpoint render active shown {s%d} %s %d (Simulated Audio)\n", i, i < k ? "Target" : "Other", i }' \
      >"$work/machine-id.txt"
    # shellcheck disable=SC2046 # one argument per id
    set -- $(awk -v k="$ids" 'BEGIN { for (i = 0; i < k; i++) printf "{s%d} ", i }')
    : > "$work/id"; : > "$work/tool"
    for _ in $(seq "$repeat"); do
      measure id build/mingw/QuorvaneId.exe disable "$@" >> "$work/id"
      measure id build/mingw/Quorvane.exe disable render Target >> "$work/tool"
    done
    id_ms=$(cut -d' ' -f1 "$work/id" | median); tool_ms=$(cut -d' ' -f1 "$work/tool" | median)
    id_kb=$(cut -d' ' -f2 "$work/id" | median); tool_kb=$(cut -d' ' -f2 "$work/tool" | median)
    ratio=$(awk -v a="$id_ms" -v b="$tool_ms" 'BEGIN { printf "%.2f", a / b }')
    echo "$count | $ids | $id_ms | $tool_ms | $ratio | $id_kb | $tool_kb"
  done
done

# The PowerShell module over the lister, on a machine of 200 endpoints, when
# PowerShell is there (scripts/install-deps.sh powershell).
if [ -x build/tools/pwsh ]; then
  cmake --build --preset mingw --target QuorvaneList >/dev/null
  module=$work/module/Quorvane
  rm -rf "$work/module"
  mkdir -p "$module"
  cp module/Quorvane.psm1 module/Quorvane.format.ps1xml build/mingw/Quorvane.psd1 "$module/"
  printf '#!/bin/sh\nexec wine "%s" "$@"\n' "$PWD/build/mingw/QuorvaneList.exe" >"$module/QuorvaneList.exe"
  chmod +x "$module/QuorvaneList.exe"
  awk 'BEGIN { for (i = 0; i < 200; i++)
    printf "endpoint %s active shown {m%d} Endpoint %d (Simulated Audio)\n", i % 2 ? "capture" : "render", i, i }' \
    >"$work/machine.txt"
  # Wine starts vary by tens of milliseconds, so this row takes at least 21 runs.
  build/tools/pwsh -NoProfile -File bench/module.ps1 "$module" "$((repeat > 21 ? repeat : 21))"
fi
