#!/usr/bin/env bash
# Fetches the upstream tarball of Debian 13's openxr-sdk-source 1.1.47 (stripped of the bundled
# jsoncpp) through a private apt configuration: the system's own sources are left alone and no
# Debian 13 binary is installed. The tarball is checked against the SHA-256 in Debian's signed
# Sources index, which must equal the one written here. When the archive no longer serves that
# version, a copy in ../shared/third-party is used, checked against the same SHA-256.
#
# Usage: fetch-openxr-sdk-source.sh <work folder> [log]
#        fetch-openxr-sdk-source.sh --sha256
# Prints the tarball's path as its last line on standard output (progress goes to standard error,
# apt's output to the log, by default <work folder>/fetch.log); with --sha256 it prints only the
# expected SHA-256, which callers take into their cache keys.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

package=openxr-sdk-source
version=1.1.47~ds
tarball=${package}_${version}.orig.tar.xz
# The tarball's SHA-256 as Debian 13's Sources index gives it; the index is asked again on every
# fetch, and a difference stops it.
expected_sha256=bbf894152735bc4eb22b123a49e93703d51253b0d972ff60b466123d6c125ed5
fallback=$root/../shared/third-party/$tarball

if [[ ${1:-} == --sha256 ]]; then
    echo "$expected_sha256"
    exit 0
fi
if (($# < 1)); then
    echo "usage: $0 <work folder> [log] | --sha256" >&2
    exit 2
fi
work=$1
mkdir -p "$work"
work=$(cd "$work" && pwd)
log=${2:-$work/fetch.log}
say() { echo "OpenXR SDK source 1.1.47: $*" >&2; }

rm -rf "$work/apt" "$work/src"
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/apt/preferences.d" \
    "$work/src"

# A private apt configuration that knows only Debian 13's source index.
mirror=$(grep -rhsE '^[[:space:]]*URIs:[[:space:]]*\S+/debian/?$' /etc/apt/sources.list.d/ |
    head -n 1 | awk '{print $2}')
mirror=${mirror:-http://deb.debian.org/debian}
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror trixie main" \
    >"$work/apt/sources.list"
apt_options=(
    -o "Dir::Etc::SourceList=$work/apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
    -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache"
    -o Dir::Etc::Preferences=/dev/null -o "Dir::Etc::PreferencesParts=$work/apt/preferences.d"
    -o APT::Sandbox::User=root
)

sha256_of() { sha256sum "$1" | cut -d' ' -f1; }

source_tarball=
say "fetching $package $version from Debian 13 ($mirror)"
if apt-get "${apt_options[@]}" update >>"$log" 2>&1; then
    indexed=$(apt-cache "${apt_options[@]}" showsrc "$package" 2>>"$log" |
        awk -v f="$tarball" '/^Checksums-Sha256:/ {s = 1; next} /^[^ ]/ {s = 0} s && $3 == f {print $1}' |
        head -n 1)
    if [[ -n $indexed && $indexed != "$expected_sha256" ]]; then
        echo "Debian's Sources index gives $tarball the SHA-256 $indexed, not $expected_sha256;" \
            "update $0 for the new source" >&2
        exit 1
    fi
    # The .dsc and the Debian patches may be gone from the pool while the tarball is there, which
    # makes apt-get source fail; only the tarball is needed.
    (cd "$work/src" && apt-get "${apt_options[@]}" source --download-only "$package") >>"$log" 2>&1 ||
        true
    if [[ -n $indexed && -f $work/src/$tarball && $(sha256_of "$work/src/$tarball") == "$indexed" ]]; then
        source_tarball=$work/src/$tarball
        say "$tarball from Debian's archive, SHA-256 matches the Sources index"
    fi
else
    say "Debian 13's Sources index could not be fetched (see $log)"
fi
if [[ -z $source_tarball ]]; then
    if [[ -f $fallback && $(sha256_of "$fallback") == "$expected_sha256" ]]; then
        source_tarball=$fallback
        say "Debian's archive did not serve $tarball; using the kept copy $fallback"
    else
        echo "OpenXR SDK source 1.1.47: neither Debian's archive nor $fallback gave $tarball" \
            "with SHA-256 $expected_sha256" >&2
        exit 1
    fi
fi
rm -rf "$work/apt"
echo "$source_tarball"
