#!/usr/bin/env bash
# Fetches the upstream tarball of one of Debian 13's source packages through a private apt
# configuration: the system's own sources are left alone and no Debian 13 binary is installed.
# The tarball is checked against the SHA-256 in Debian's signed Sources index, which must equal the
# one the caller expects. When the archive no longer serves that version, a copy in
# ../shared/third-party is used, checked against the same SHA-256.
#
# Usage: fetch-debian13-source.sh <package> <tarball> <sha256> <work folder> [log]
# Prints the tarball's path as its last line on standard output (progress goes to standard error,
# apt's output to the log, by default <work folder>/fetch.log).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if (($# < 4)); then
    echo "usage: $0 <package> <tarball> <sha256> <work folder> [log]" >&2
    exit 2
fi
package=$1
tarball=$2
expected_sha256=$3
work=$4
mkdir -p "$work"
work=$(cd "$work" && pwd)
log=${5:-$work/fetch.log}
fallback=$root/../shared/third-party/$tarball
say() { echo "$package source: $*" >&2; }

rm -rf "$work/apt" "$work/src"
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/apt/preferences.d" \
    "$work/src"

# A private apt configuration that knows only Debian 13's source index.
mirror=$("$root/scripts/debian-mirror.sh")
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
say "fetching $tarball from Debian 13 ($mirror)"
if apt-get "${apt_options[@]}" update >>"$log" 2>&1; then
    indexed=$(apt-cache "${apt_options[@]}" showsrc "$package" 2>>"$log" |
        awk -v f="$tarball" '/^Checksums-Sha256:/ {s = 1; next} /^[^ ]/ {s = 0} s && $3 == f {print $1}' |
        head -n 1 || true)
    if [[ -n $indexed && $indexed != "$expected_sha256" ]]; then
        echo "Debian's Sources index gives $tarball the SHA-256 $indexed, not $expected_sha256;" \
            "update the caller for the new source" >&2
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
        echo "$package source: neither Debian's archive nor $fallback gave $tarball" \
            "with SHA-256 $expected_sha256" >&2
        exit 1
    fi
fi
rm -rf "$work/apt"
echo "$source_tarball"
