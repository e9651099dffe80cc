# Sourced by the test command and the main job: `phase <name>` starts a timed phase (and ends the
# one before); at exit, also a failed one, a table gives each phase's time and the total, so that a
# slowdown shows where it happens.
phase_names=()
phase_seconds=()
phase_current=
phase_started=$SECONDS
phase_total_started=$SECONDS

phase_end() {
    if [[ -n $phase_current ]]; then
        phase_names+=("$phase_current")
        phase_seconds+=($((SECONDS - phase_started)))
        phase_current=
    fi
}

phase() {
    phase_end
    phase_current=$1
    phase_started=$SECONDS
    echo "== $1"
}

phase_report() {
    local status=$?
    phase_end
    echo
    echo "== time per phase"
    local i
    for i in "${!phase_names[@]}"; do
        printf '  %-58s %3d:%02d\n' "${phase_names[$i]}" $((phase_seconds[i] / 60)) \
            $((phase_seconds[i] % 60))
    done
    local total=$((SECONDS - phase_total_started))
    printf '  %-58s %3d:%02d\n' "total" $((total / 60)) $((total % 60))
    return $status
}
trap phase_report EXIT
