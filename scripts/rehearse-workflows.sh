#!/bin/sh
# The maintainer's check before tagging: runs every Linux job of ci.yml and
# release.yml as a GitHub container job runs them (see rehearse-workflows.cjs),
# for the commit named (HEAD by default). Needs root; takes about ten minutes.
# usage: scripts/rehearse-workflows.sh [--ref REVISION] [--job WORKFLOW/JOB]...
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh test debootstrap
sh scripts/helpers/node-tools.sh
exec node scripts/rehearse-workflows.cjs "$@"
