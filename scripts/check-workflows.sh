#!/bin/sh
# Fails when a workflow grants permissions it was not given by name, or runs an
# action that can change under it: every workflow file has a top-level
# `permissions:` (each job then asks for what it needs), and every `uses:` names
# a local action or a full 40-hex commit SHA with its version in a comment.
# usage: check-workflows.sh WORKFLOW...
set -eu
[ $# -gt 0 ] || { echo "check-workflows.sh: no workflow files to check"; exit 1; }
failed=0
for file in "$@"; do
  if ! grep -q -E '^permissions:' "$file"; then
    echo "$file: no top-level permissions"
    failed=1
  fi
  unpinned=$(grep -n -E '^[[:space:]]*(-[[:space:]]+)?uses:' "$file" |
    grep -v -E 'uses:[[:space:]]*(\./|[^@[:space:]]+@[0-9a-f]{40}[[:space:]]+#[[:space:]]*v[0-9])' || true)
  if [ -n "$unpinned" ]; then
    printf '%s\n' "$unpinned" | sed "s|^|$file:|; s|\$| (not pinned to a commit SHA with its version in a comment)|"
    failed=1
  fi
done
exit $failed
