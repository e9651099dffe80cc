# shellcheck shell=bash
# Sourced by the Windows test scripts: runs the Linux simulator beside a Windows program under
# Wine. Gives a temporary folder `work`, removed on exit together with the simulator.

# Usage: use_linux_sim <linux simulator>
use_linux_sim() {
    sim=$1
    if [[ ! -x $sim ]]; then
        echo "the Linux simulator $sim is not built;" \
            "run: cmake --preset default && cmake --build --preset default --target tarvex-mocap-sim" >&2
        exit 1
    fi
    work=$(mktemp -d "${TMPDIR:-/tmp}/tarvex-windows-sim.XXXXXX")
    sim_pid=
    trap 'stop_linux_sim; rm -rf "$work"' EXIT
}

# Starts the simulator with the given switches and waits up to 10 s for its start line, which it
# prints and leaves in `sim_started`. Exits the script, showing the simulator's output, if it does
# not start.
start_linux_sim() {
    "$sim" "$@" >"$work/sim.log" 2>&1 &
    sim_pid=$!
    sim_started=
    for _ in $(seq 100); do
        # "tarvex-mocap-sim: started at monotonic S s; commands on 127.0.0.1:PORT; ..."
        sim_started=$(grep -m 1 "started at monotonic" "$work/sim.log" || true)
        [[ -n $sim_started ]] && break
        kill -0 "$sim_pid" 2>/dev/null || break
        sleep 0.1
    done
    if [[ -z $sim_started ]]; then
        echo "the simulator did not start:" >&2
        cat "$work/sim.log" >&2
        exit 1
    fi
    echo "$sim_started"
}

# Stops the simulator and shows its last lines.
stop_linux_sim() {
    if [[ -n $sim_pid ]]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
        sim_pid=
        tail -n 3 "$work/sim.log"
    fi
}
