#!/usr/bin/env bash
# Prints the Debian archive this machine's apt uses, read from either format of its sources (the
# one-line /etc/apt/sources.list a Debian 12 installer writes, or deb822 files in sources.list.d),
# or deb.debian.org when neither names one.
set -euo pipefail

uri=$(
    {
        grep -rhsE '^[[:space:]]*URIs:' /etc/apt/sources.list.d/ || true
        grep -hsE '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list ||
            true
    } | grep -oE '(https?|ftp)://[^[:space:]]+/debian/?([[:space:]]|$)' | head -n 1 |
        tr -d '[:space:]' || true
)
echo "${uri:-http://deb.debian.org/debian}"
