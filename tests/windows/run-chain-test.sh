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
# shellcheck source=tests/windows/linux-sim.sh
source "$(dirname "$0")/linux-sim.sh"

wine=$2 program=$3 filter=$4 path=${5:-}
motion=(--pose '-1,1.5,-2,0,0.2588190,0,0.9659258')
if [[ -n $path ]]; then
    motion=(--path "$path")
fi

use_linux_sim "$1"
start_linux_sim --command-port 0 --rate 120 "${motion[@]}"
port=$(sed -n 's/.* commands on 127\.0\.0\.1:\([0-9]*\);.*/\1/p' <<<"$sim_started")

status=0
ORVIX_STANDIN_PORTS="$port,0" "$wine" "$program" --gtest_filter="$filter" || status=$?
stop_linux_sim
exit "$status"
