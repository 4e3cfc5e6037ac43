#!/bin/sh
# The release job's publish step: creates the release for the tag with the
# runner's gh and attaches every file of the release folder.
# usage: publish-release.sh TAG FOLDER
# Environment: GH_TOKEN, GITHUB_REPOSITORY, CHANGELOG (the changelog's address at the tag).
set -eu
tag=$1 folder=$2
name=$(sh "$(dirname "$0")/../helpers/release-name.sh" "${tag#v}")
notes=$(mktemp)
trap 'rm -f "$notes"' EXIT
{
  echo "What changed: $CHANGELOG"
  echo
  echo "Check the zip's origin with \`gh attestation verify $name.zip --repo $GITHUB_REPOSITORY\`,"
  echo "and rebuild it from this tag with \`scripts/release/verify-release.sh\` (see the README)."
  echo "$name.toolchain.txt names the Debian packages that built it."
} >"$notes"
gh release create "$tag" --repo "$GITHUB_REPOSITORY" --verify-tag \
  --title "Quorvane ${tag#v}" --notes-file "$notes" "$folder"/*
