# shellcheck shell=sh
# The environment every Wine process of the project runs in; sourced by the
# scripts that start Wine (ctest gives its tests the same, in tests/CMakeLists.txt).
# WINEDEBUG: no debug channels. WINEDLLOVERRIDES: no Mono or Gecko installer.
# LC_ALL: Wine takes its code page from the locale, and without one (a GitHub
# container step has none) it falls back to ASCII and mangles non-ASCII names.
export WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= LC_ALL=C.UTF-8
