#!/usr/bin/env bash
# Runs one command (usually ctest) with Wine ready for Windows test programs: a throw-away
# prefix, no debug noise, no Mono or Gecko installers, and one persistent Wine server so that each
# program starts quickly and CTest does not wait for the server to linger after every test.
set -euo pipefail

if (($# == 0)); then
    echo "usage: $0 command [arguments...]" >&2
    exit 2
fi

prefix=$(mktemp -d "${TMPDIR:-/tmp}/tarvex-wine.XXXXXX")
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    rm -rf "$prefix"
}
trap cleanup EXIT

# The server must not hold our output open, or a caller reading it through a pipe never sees
# the end.
wineserver -p >/dev/null 2>&1
# Create the prefix once, up front, instead of inside the first test's time limit.
wineboot --init >/dev/null 2>&1

"$@"
