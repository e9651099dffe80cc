#!/usr/bin/env bash
# Runs one case of the Windows chain test under Wine against the Linux simulator, which serves the
# worked example's headset (or walks the path named by the optional last argument) on a command
# port the system chooses; the Windows programs reach it through ORVIX_STANDIN_PORTS.
#
# The layer and tarvex-check first ask the configured address on the standard command port and
# find the simulator by discovery when nothing answers there; the test's configuration names a
# loopback address that no server binds, so that another program on 127.0.0.1:1510 is not taken
# for ours.
#
# Usage: run-chain-test.sh <linux simulator> <wine> <test program> <gtest filter> [<path>]
set -euo pipefail

sim=$1 wine=$2 program=$3 filter=$4 path=${5:-}
motion=(--pose '-1,1.5,-2,0,0.2588190,0,0.9659258')
if [[ -n $path ]]; then
    motion=(--path "$path")
fi

if [[ ! -x $sim ]]; then
    echo "the Linux simulator $sim is not built;" \
        "run: cmake --preset default && cmake --build --preset default --target tarvex-mocap-sim" >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvex-windows-chain.XXXXXX")
sim_pid=
cleanup() {
    if [[ -n $sim_pid ]]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

: >"$work/sim.log"
"$sim" --command-port 0 --rate 120 "${motion[@]}" >"$work/sim.log" 2>&1 &
sim_pid=$!
port=
for _ in $(seq 100); do
    # "tarvex-mocap-sim: started at monotonic S s; commands on 127.0.0.1:PORT; ..."
    port=$(sed -n 's/.*started at monotonic .* commands on 127\.0\.0\.1:\([0-9]*\);.*/\1/p' \
        "$work/sim.log")
    [[ -n $port ]] && break
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
done
if [[ -z $port ]]; then
    echo "the simulator did not start:" >&2
    cat "$work/sim.log" >&2
    exit 1
fi
head -n 1 "$work/sim.log"

status=0
ORVIX_STANDIN_PORTS="$port,0" "$wine" "$program" --gtest_filter="$filter" || status=$?
kill "$sim_pid" 2>/dev/null || true
wait "$sim_pid" 2>/dev/null || true
sim_pid=
tail -n 2 "$work/sim.log"
exit "$status"
