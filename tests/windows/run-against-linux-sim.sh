#!/usr/bin/env bash
# Runs the Windows layer test program under Wine against the Linux simulator on loopback, with
# Wine's debug-string channel on, and checks that the DLL wrote its load line exactly once
# although it was loaded twice (the second load finds it still mapped).
#
# Usage: run-against-linux-sim.sh <linux simulator> <wine> <test program> <layer dll>
#                                 <headset id> <headset height>
set -euo pipefail

sim=$1 wine=$2 program=$3 dll=$4 headset_id=$5 height=$6
load_line='OpenXR API Layer XR_APILAYER_TARVEX_tracking_override dynamically loaded library initialized.'

if [[ ! -x $sim ]]; then
    echo "the Linux simulator $sim is not built;" \
        "run: cmake --preset default && cmake --build --preset default --target tarvex-mocap-sim" >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvex-windows-sim.XXXXXX")
sim_pid=
cleanup() {
    if [[ -n $sim_pid ]]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# The layer connects to the standard ports, so the simulator takes them (the test holds CTest's
# mocap_ports lock).
"$sim" --rate 120 --headset-id "$headset_id" --pose "0.5,$height,-0.5,0,0,0,1" \
    >"$work/sim.log" 2>&1 &
sim_pid=$!
started=
for _ in $(seq 50); do
    grep -q "started at monotonic" "$work/sim.log" && started=1 && break
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
done
if [[ -z $started ]]; then
    echo "the simulator did not start (is another server on port 1510?):" >&2
    cat "$work/sim.log" >&2
    exit 1
fi
head -n 1 "$work/sim.log"

status=0
WINEDEBUG=-all,+debugstr \
    "$wine" "$program" "$dll" "$headset_id" "$height" 2>"$work/wine.err" || status=$?

load_lines=$(grep -cF "$load_line" "$work/wine.err" || true)
echo "load lines on the debug channel: $load_lines"
grep -F "$load_line" "$work/wine.err" || true
if [[ $load_lines -ne 1 ]]; then
    echo "FAILED: expected the load line exactly once; Wine's debug output:" >&2
    cat "$work/wine.err" >&2
    status=1
fi

kill "$sim_pid" 2>/dev/null || true
wait "$sim_pid" 2>/dev/null || true
sim_pid=
tail -n 3 "$work/sim.log"
exit "$status"
