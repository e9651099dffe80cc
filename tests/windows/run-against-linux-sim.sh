#!/usr/bin/env bash
# Runs the Windows layer test program under Wine against the Linux simulator on loopback, with
# Wine's debug-string channel on, and checks that the DLL wrote its load line exactly once
# although it was loaded twice (the second load finds it still mapped).
#
# Usage: run-against-linux-sim.sh <linux simulator> <wine> <test program> <layer dll>
#                                 <headset id> <headset height>
set -euo pipefail

# shellcheck source=tests/windows/linux-sim.sh
source "$(dirname "$0")/linux-sim.sh"

wine=$2 program=$3 dll=$4 headset_id=$5 height=$6
load_line='OpenXR API Layer XR_APILAYER_TARVEX_tracking_override dynamically loaded library initialized.'

use_linux_sim "$1"
# The layer connects to the standard ports, so the simulator takes them (the test holds CTest's
# mocap_ports lock).
start_linux_sim --rate 120 --headset-id "$headset_id" --pose "0.5,$height,-0.5,0,0,0,1"

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

stop_linux_sim
exit "$status"
