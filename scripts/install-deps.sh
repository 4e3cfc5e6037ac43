#!/bin/sh
# Installs, on Debian 12, what a job needs, and any further packages named:
#   install-deps.sh build [PACKAGE...]   cross-building Quorvane and running it under Wine
#   install-deps.sh test [PACKAGE...]    that, and everything the tests and house checks use
#   install-deps.sh powershell           PowerShell and Pester for the admin scripts'
#                                        tests, each at one exact version, into
#                                        build/tools, where the .NET SDK is present
# Does nothing when everything is already there.
set -eu
powershell_version=7.6.10
pester_version=5.7.1

# PowerShell as a .NET tool, and Pester's module from its NuGet package.
install_powershell() {
  tools=$(dirname "$0")/../build/tools
  # dotnet keeps its own files under HOME, which a bare CI step may lack.
  export DOTNET_CLI_HOME="${DOTNET_CLI_HOME:-${HOME:-$PWD/build/tools}}" DOTNET_NOLOGO=1 \
    DOTNET_CLI_TELEMETRY_OPTOUT=1 DOTNET_SKIP_FIRST_TIME_EXPERIENCE=1
  if ! [ -x "$tools/pwsh" ] || ! [ -d "$tools/.store/powershell/$powershell_version" ]; then
    rm -rf "$tools/pwsh" "$tools/.store"
    dotnet tool install --tool-path "$tools" PowerShell --version "$powershell_version" >&2
  fi
  if ! [ -f "$tools/pester/$pester_version/tools/Pester.psd1" ]; then
    mkdir -p "$tools/pester-download"
    cat >"$tools/pester-download/pester.csproj" <<PROJECT
<Project Sdk="Microsoft.NET.Sdk">
  <PropertyGroup><TargetFramework>net$(dotnet --version | cut -d. -f1).0</TargetFramework></PropertyGroup>
  <ItemGroup><PackageDownload Include="Pester" Version="[$pester_version]" /></ItemGroup>
</Project>
PROJECT
    dotnet restore "$tools/pester-download/pester.csproj" --packages "$tools/pester-download/packages" >&2
    # Only the pinned version, so that the tests find exactly one.
    rm -rf "$tools/pester"
    mkdir -p "$tools/pester"
    cp -R "$tools/pester-download/packages/pester/$pester_version" "$tools/pester/"
  fi
}
build="cmake ninja-build g++-mingw-w64-x86-64-posix wine wine64"
case "${1:-}" in
  powershell)
    ! command -v dotnet >/dev/null || install_powershell
    exit 0
    ;;
  build) packages=$build ;;
  test)
    packages="$build mingw-w64-tools googletest clang lld clang-format clang-tidy pulseaudio zip
      unzip openssl osslsigncode shellcheck python3"
    # Node.js runs the workflow and manifest checks, with the npm that
    # scripts/helpers/node-tools.sh fetches; a machine may already have it.
    command -v node >/dev/null || packages="$packages nodejs"
    ;;
  *)
    echo "usage: install-deps.sh build|test [PACKAGE...] or install-deps.sh powershell" >&2
    exit 64
    ;;
esac
shift
packages="$packages $*"

# osslsigncode signs PowerShell scripts from version 2.6 on; Debian 12's own is
# 2.5, so it comes from Debian's backports for Debian 12.
missing=""
backported=""
for package in $packages; do
  if [ "$package" = osslsigncode ]; then
    installed=$(dpkg-query -W -f='${Version}' osslsigncode 2>/dev/null || true)
    dpkg --compare-versions "${installed:-0}" ge 2.6 || backported=osslsigncode
    continue
  fi
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing="$missing $package"
done
if [ -n "$missing$backported" ]; then
  if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
  echo "Installing:$missing $backported" >&2
  if [ -n "$backported" ] && ! grep -rqs bookworm-backports /etc/apt/sources.list /etc/apt/sources.list.d; then
    mirror=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)
    printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: %s\n' \
      "${mirror:-http://deb.debian.org/debian}" /usr/share/keyrings/debian-archive-keyring.gpg |
      $sudo tee /etc/apt/sources.list.d/bookworm-backports.sources >/dev/null
  fi
  $sudo apt-get update -q >&2
  # wine and wine64 without their recommends: no Mono, Gecko or desktop extras.
  # shellcheck disable=SC2086 # one word per package
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing >&2
  # shellcheck disable=SC2086 # one word per package, or none
  [ -z "$backported" ] || DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q \
    --no-install-recommends -t bookworm-backports $backported >&2
fi
