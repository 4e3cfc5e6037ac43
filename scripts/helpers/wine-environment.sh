# shellcheck shell=sh
# The environment every Wine process of the project runs in: sourced by the
# scripts that start Wine, and read by tests/CMakeLists.txt for ctest's tests,
# one "export NAME=VALUE" a line.
# No debug channels:
export WINEDEBUG=-all
# No Mono or Gecko installer:
export WINEDLLOVERRIDES=mscoree,mshtml=
# Wine takes its code page from the locale, and without one (a GitHub container
# step has none) it falls back to ASCII and mangles non-ASCII names:
export LC_ALL=C.UTF-8
