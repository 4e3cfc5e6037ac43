#!/bin/sh
# The release package with its winget and Scoop manifests, as the release
# workflow makes it, passes the offline check; each planted fault must fail it,
# for its own reason: the schemas' findings name the field, the hand checks'
# the rule.
# usage: release_manifests_test.sh BUILD_FOLDER SOURCE_FOLDER VERSION
set -eu
build=$1 source=$2 version=$3
work=$build/release-manifests
rm -rf "$work"
fail() { echo "release manifests: $*"; exit 1; }
sh "$source/scripts/helpers/node-tools.sh"
check() { node "$source/scripts/checks/check-release-manifests.cjs" "$version" "$@"; }
package() {
  cmake -DPROGRAMS_DIR="$build" -DSOURCE_DIR="$source" -DVERSION="$version" \
    -DNAME="$(sh "$source/scripts/helpers/release-name.sh" "$version")" -DOUTPUT_DIR="$work/$1" \
    -DRELEASE_URL="https://github.com/owner/repo/releases/download/v$2" -P "$source/cmake/release-package.cmake"
}
package good "$version" >"$work.log" 2>&1 || { cat "$work.log"; fail "packaging failed"; }
check "$work/good" >"$work/good.log" 2>&1 || { cat "$work/good.log"; fail "the manifests as made do not pass"; }
! package elsewhere 0.0.1 >/dev/null 2>&1 || fail "took the download address of another version"

# Each fault: a name, the file, a sed expression, and what the check must name.
# Each is planted in a copy of its own, and all are checked at once.
installer=Quorvane.Quorvane.installer.yaml wrong=ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff
while IFS='|' read -r name file edit said; do
  cp -r "$work/good" "$work/$name"
  sed -i "$edit" "$work/$name/$file"
  ! cmp -s "$work/good/$file" "$work/$name/$file" || fail "$name: the fault was not planted"
  printf '%s|%s\n' "$name" "$said" >>"$work/faults"
done <<FAULTS
wrong-hash|$installer|s/InstallerSha256: .*/InstallerSha256: $wrong/|InstallerSha256
missing-licence|Quorvane.Quorvane.locale.en-US.yaml|/^License:/d|must have required property 'License'
one-part-identifier|Quorvane.Quorvane.yaml|s/^PackageIdentifier: .*/PackageIdentifier: Quorvane/|/PackageIdentifier must match pattern
alias-too-long|$installer|s/PortableCommandAlias: .*/PortableCommandAlias: quorvane-shows-or-hides-audio-endpoints-x/|PortableCommandAlias must NOT have more than 40 characters
file-not-in-zip|$installer|s/RelativeFilePath: .*/RelativeFilePath: bin\/Quorvane.exe/|RelativeFilePath "bin/Quorvane.exe" is not a file in
url-without-version|$installer|s/v$version\/Quorvane-$version/latest\/Quorvane/|InstallerUrl
unknown-architecture|$installer|s/Architecture: x64/Architecture: amd64/|Architecture must be equal to one of the allowed values
installer-type-unknown|$installer|s/^InstallerType: zip/InstallerType: zipfile/|/InstallerType must be equal to one of the allowed values
scoop-wrong-hash|quorvane.json|s/"hash": "[0-9a-f]*"/"hash": "$wrong"/|architecture.64bit.hash
scoop-unknown-field|quorvane.json|s/"license": "MIT",/"license": "MIT", "licence": "MIT",/|must NOT have additional properties: licence
list-not-in-zip|$installer|s/RelativeFilePath: QuorvaneList.exe/RelativeFilePath: QuorvaneLst.exe/|RelativeFilePath "QuorvaneLst.exe" is not a file in
list-left-out|$installer|/QuorvaneList.exe/,+1d|NestedInstallerFiles' paths
aliases-alike|$installer|s/PortableCommandAlias: quorvane-list/PortableCommandAlias: quorvane/|each different
scoop-bin-not-in-zip|quorvane.json|s/"Quorvane.exe"/"quorvane.exe"/|bin ["quorvane.exe"
scoop-bin-without-list|quorvane.json|/^        \[/,/^        \]/d; s/"Quorvane.exe",/"Quorvane.exe"/|bin ["Quorvane.exe"]
scoop-command-not-winget-alias|quorvane.json|s/"quorvane-list"/"quorvanelist"/|bin's commands
scoop-autoupdate-fixed-version|quorvane.json|s/v\$version\/Quorvane-\$version/v$version\/Quorvane-$version/|autoupdate.architecture.64bit.url
scoop-module-unnamed|quorvane.json|/"name": "Quorvane"/d|psmodule.name undefined
scoop-module-misnamed|quorvane.json|s/"name": "Quorvane"/"name": "quorvane"/|psmodule.name "quorvane" is not the module's name
FAULTS
# shellcheck disable=SC2046 # one word per folder
! check $(cut -d'|' -f1 "$work/faults" | sed "s|^|$work/|") >"$work/faults.log" 2>&1 || fail "every fault passed"
while IFS='|' read -r name said; do
  grep -F "$work/$name: " "$work/faults.log" | grep -q -F "$said" ||
    fail "$name: $(grep -F "$work/$name: " "$work/faults.log")"
done <"$work/faults"
echo "Release manifests: as made they pass; each of $(wc -l <"$work/faults") planted faults fails for its own reason."
