#!/usr/bin/env bash
# Fetches the upstream tarball of Debian 13's openxr-sdk-source 1.1.47 (stripped of the bundled
# jsoncpp), checked against the SHA-256 written here; see fetch-debian13-source.sh.
#
# Usage: fetch-openxr-sdk-source.sh <work folder> [log]
#        fetch-openxr-sdk-source.sh --sha256
# Prints the tarball's path as its last line on standard output; with --sha256 it prints only the
# expected SHA-256, which callers take into their cache keys.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# The tarball's SHA-256 as Debian 13's Sources index gives it; the index is asked again on every
# fetch, and a difference stops it.
expected_sha256=bbf894152735bc4eb22b123a49e93703d51253b0d972ff60b466123d6c125ed5

if [[ ${1:-} == --sha256 ]]; then
    echo "$expected_sha256"
    exit 0
fi
if (($# < 1)); then
    echo "usage: $0 <work folder> [log] | --sha256" >&2
    exit 2
fi
exec "$root/scripts/fetch-debian13-source.sh" openxr-sdk-source "openxr-sdk-source_1.1.47~ds.orig.tar.xz" \
    "$expected_sha256" "$@"
