#!/usr/bin/env bash
# The main job: installs what is missing, builds the layer, the stand-in runtime, the demo and the
# motion-capture simulator, then runs the demo for one lap of the simulator's walk with the layer
# installed the way users install it, and shows what the application received. Further laps, with
# the layer's prediction to the display time off and on and the simulator's pose noise off and on,
# give a table of the error at display time; a short run with a pause in the stream counts the
# frames the layer flags as not tracked. Then Khronos' hello_xr renders a few seconds of the
# simulator's orbit (the circle walked facing its centre) with Vulkan through the layer, without
# and with the layer's tracked VIEW spaces, and two contact sheets show some of the frames. Last,
# the same in front of Monado, a real OpenXR runtime built from Debian's source: the demo's
# measures, and what Monado's compositor shows of hello_xr under Xvfb, without and with the layer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
monado_built=true
scripts/build-monado.sh || monado_built=false
sdk_built=true
scripts/build-openxr-sdk.sh || sdk_built=false

cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" \
    --target tarvex_tracking tarvex_standin_runtime tarvex-demo tarvex-mocap-sim \
    tarvex-contact-sheet tarvex-screen-measure

build=$PWD/build/default
out=$build/demo-output
mkdir -p "$out"
layer_log=$out/demo-full.log
simulator_log=$out/simulator.log
plot=$out/tarvex-demo-views.svg
seconds=${TARVEX_DEMO_SECONDS:-20}
hello_xr_frames=${TARVEX_HELLO_XR_FRAMES:-360}

work=$(mktemp -d)
simulator_pid=
path_start=
input_holder_pid=
xvfb_pid=
cleanup() {
    if [[ -n $simulator_pid ]]; then kill "$simulator_pid" 2>/dev/null || true; fi
    if [[ -n $input_holder_pid ]]; then kill "$input_holder_pid" 2>/dev/null || true; fi
    if [[ -n $xvfb_pid ]]; then kill "$xvfb_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

# The layer's settings: unicast to the simulator on this machine, headset rigid body 1, 64 mm.
cat >"$work/TarvexOpenXRConfig.ini" <<'EOF'
[SETTINGS]
connectiontype = 0
localaddress = 127.0.0.1
serveraddress = 127.0.0.1
hmdrbid = 1
ipd = 64
overrider = false
controllerrrbid = 2
overridel = false
controllerlrbid = 3
EOF

# Installed as an implicit layer of this user (here a temporary data folder): the manifest names
# the library by its full path.
implicit=$work/data-home/openxr/1/api_layers/implicit.d
mkdir -p "$implicit"
sed "s#\"./libtarvex_tracking.so\"#\"$build/layer/libtarvex_tracking.so\"#" \
    "$build/layer/XR_APILAYER_TARVEX_tracking_override.json" \
    >"$implicit/XR_APILAYER_TARVEX_tracking_override.json"

# Starts the simulator with the given switches and sets path_start from its first line.
start_simulator() {
    local lines_before
    lines_before=$(wc -l <"$simulator_log")
    "$build/tools/mocap-sim/tarvex-mocap-sim" "$@" >>"$simulator_log" 2>&1 &
    simulator_pid=$!
    local start_line=
    for _ in $(seq 100); do
        start_line=$(tail -n +"$((lines_before + 1))" "$simulator_log" |
            grep -m1 '^tarvex-mocap-sim: started at monotonic ' || true)
        if [[ -n $start_line ]] || ! kill -0 "$simulator_pid" 2>/dev/null; then break; fi
        sleep 0.05
    done
    if [[ -z $start_line ]]; then
        echo "the simulator did not start:" >&2
        tail -n +"$((lines_before + 1))" "$simulator_log" >&2
        exit 1
    fi
    echo "$start_line"
    path_start=$(sed 's/^tarvex-mocap-sim: started at monotonic \([0-9.]*\) s.*/\1/' <<<"$start_line")
}

stop_simulator() {
    if [[ -n $simulator_pid ]]; then
        kill -INT "$simulator_pid" 2>/dev/null || true
        wait "$simulator_pid" || true
        simulator_pid=
    fi
}

# The settings above with an [OPTIONS] section from standard input, in the folder $work/$1.
options_config() {
    mkdir -p "$work/$1"
    cat "$work/TarvexOpenXRConfig.ini" - >"$work/$1/TarvexOpenXRConfig.ini"
}
options_config prediction <<'EOF'
[OPTIONS]
predictdisplaytime = true
EOF
options_config trackingloss <<'EOF'
[OPTIONS]
trackinglossms = 100
EOF

status=0
# One demo run with the layer's configuration from the folder $2 and its whole output in
# demo-$1.log; shows the summary lines that match $3. The other arguments go to the demo.
measures='^(  lag behind|  error at display time|  tracking lost|Prediction to display time)'
run_demo() {
    local name=$1 config=$2 shown=$3
    shift 3
    local log=$out/demo-$name.log demo_status=0
    XR_RUNTIME_JSON=$build/standins/runtime/tarvex_standin_runtime.json \
        XDG_DATA_HOME=$work/data-home \
        TARVEX_OPENXR_CONFIG=$config \
        TARVEX_STANDIN_RUNTIME_RECORD=$out/runtime-record-$name.txt \
        "$build/tools/demo/tarvex-demo" --path-start "$path_start" "$@" >"$log" 2>&1 ||
        demo_status=$?
    grep -E "$shown" "$log" || true
    if ((demo_status != 0)); then
        echo "   the demo exited with status $demo_status (log: $log)"
        if ((status == 0)); then status=$demo_status; fi
    fi
}

# "median p99 median p99" (position mm, rotation deg) from the summary in the demo output $1.
errors_of() {
    local line
    line=$(sed -n 's/^  error at display time: position median \([0-9.]*\) mm, 99th percentile \([0-9.]*\) mm; rotation median \([0-9.]*\) deg, 99th percentile \([0-9.]*\) deg.*/\1 \2 \3 \4/p' \
        "$1" 2>/dev/null || true)
    echo "${line:-- - - -}"
}

echo
echo "== simulator: circle walk with head turns on 127.0.0.1:1510 (log: $simulator_log)"
: >"$simulator_log"
start_simulator --path circle

echo
echo "== demo, $seconds s, with the layer's prediction to the display time"
echo "   ([OPTIONS] predictdisplaytime = true; log: $out/demo-prediction.log)"
run_demo prediction "$work/prediction" "$measures" --seconds "$seconds" --plot "$out/views-prediction.svg" \
    --errors "$out/errors-prediction.txt" --label "prediction on"

echo
echo "== demo: $seconds s through the OpenXR loader and the stand-in runtime"
echo "   (the layer's per-frame lines go to $layer_log)"
XR_RUNTIME_JSON=$build/standins/runtime/tarvex_standin_runtime.json \
    XDG_DATA_HOME=$work/data-home \
    TARVEX_OPENXR_CONFIG=$work \
    TARVEX_STANDIN_RUNTIME_RECORD=$out/runtime-record.txt \
    "$build/tools/demo/tarvex-demo" --seconds "$seconds" --path-start "$path_start" \
    --plot "$plot" --dump-views "$out/received-views.txt" --errors "$out/errors.txt" \
    --label "prediction off" --compare-errors "$out/errors-prediction.txt" >"$layer_log" 2>&1 &
demo_pid=$!
# Show the demo's own lines as they come, not the layer's per-frame ones.
tail -n +1 -f --pid="$demo_pid" "$layer_log" |
    grep --line-buffered -v -E '^(Position set|Position not set|Setting HMD pos to |Waiting$)' || true
wait "$demo_pid" || status=$?
stop_simulator

echo
echo "== the same walk with the simulator's pose noise (--jitter: 0.2 mm, 0.05 degree RMS)"
start_simulator --path circle --jitter
echo "-- prediction off, $seconds s (log: $out/demo-jitter.log)"
run_demo jitter "$work" "$measures" --seconds "$seconds" --plot "$out/views-jitter.svg"
echo "-- prediction on, $seconds s (log: $out/demo-jitter-prediction.log)"
run_demo jitter-prediction "$work/prediction" "$measures" --seconds "$seconds" \
    --plot "$out/views-jitter-prediction.svg"
stop_simulator

echo
echo "== tracking loss: the stream pauses for 2 s after 3 s; [OPTIONS] trackinglossms = 100"
echo "   (at 90 frames a second, about 171 frames come more than 100 ms after the newest headset"
echo "   frame; log: $out/demo-trackingloss.log)"
start_simulator --path circle --pause-after 3 --pause-for 2
run_demo trackingloss "$work/trackingloss" '^  tracking lost' --seconds 7 \
    --plot "$out/views-trackingloss.svg"
stop_simulator

echo
echo "== error at display time on the circle walk (240 Hz stream, the runtime showing each frame"
echo "   about 11 ms after xrLocateViews): the received eye-centre pose against the simulator's"
echo "   path at each frame's display time"
read -r off_pm off_pp off_rm off_rp <<<"$(errors_of "$layer_log")"
read -r on_pm on_pp on_rm on_rp <<<"$(errors_of "$out/demo-prediction.log")"
read -r joff_pm joff_pp joff_rm joff_rp <<<"$(errors_of "$out/demo-jitter.log")"
read -r jon_pm jon_pp jon_rm jon_rp <<<"$(errors_of "$out/demo-jitter-prediction.log")"
printf '%-22s %-26s %-26s\n' "" "prediction off" "prediction on"
printf '%-22s %-13s%-13s %-13s%-13s\n' "" "median" "99th pct." "median" "99th pct." \
    "jitter off  position" "$off_pm mm" "$off_pp mm" "$on_pm mm" "$on_pp mm" \
    "            rotation" "$off_rm deg" "$off_rp deg" "$on_rm deg" "$on_rp deg" \
    "jitter on   position" "$joff_pm mm" "$joff_pp mm" "$jon_pm mm" "$jon_pp mm" \
    "            rotation" "$joff_rm deg" "$joff_rp deg" "$jon_rm deg" "$jon_rp deg"
echo "(0.2 mm and 0.05 degree RMS of pose noise are a typical order of magnitude for an optical"
echo " system. The picture's lower panel shows the position error over time, off and on.)"

echo
echo "== simulator for hello_xr: the orbit, the same circle walked facing its centre and looking"
echo "   down at the floor there, where hello_xr's world-fixed cubes stand"
start_simulator --path orbit

echo
echo "== hello_xr: $hello_xr_frames frames of the orbit, rendered with Vulkan (Mesa's software driver)"
echo "   through the layer; the stand-in runtime ends the session and saves some frames"
# hello_xr quits when its standard input ends: a pipe held open by a sleeping writer keeps it
# rendering until the runtime ends the session.
mkfifo "$work/hello_xr-input"
step=$((hello_xr_frames / 6))
capture_frames=$(seq -s, "$step" "$step" "$hello_xr_frames")

# One hello_xr run with the layer's configuration from folder $2; its log, the runtime's record,
# the saved frames and their contact sheet are named with the suffix $1. $3 and $4 name another
# hello_xr and the folder of the loader it is to use; the loader it really used is printed.
run_hello_xr() {
    local suffix=$1 config=$2 hello_xr=${3:-hello_xr} library_path=${4:-}
    local captures=$out/hello_xr-frames$suffix
    local record=$out/hello_xr$suffix-runtime-record.txt
    local log=$out/hello_xr$suffix.log
    local sheet=$out/hello_xr-contact-sheet$suffix.png
    rm -rf "$captures"
    mkdir -p "$captures"
    sleep 600 >"$work/hello_xr-input" &
    input_holder_pid=$!
    local hello_xr_status=0
    XR_RUNTIME_JSON=$build/standins/runtime/tarvex_standin_runtime.json \
        XDG_DATA_HOME=$work/data-home \
        TARVEX_OPENXR_CONFIG=$config \
        VK_ICD_FILENAMES=/usr/share/vulkan/icd.d/lvp_icd.x86_64.json \
        VK_DRIVER_FILES=/usr/share/vulkan/icd.d/lvp_icd.x86_64.json \
        TARVEX_STANDIN_RUNTIME_RECORD=$record \
        TARVEX_STANDIN_SESSION_FRAMES=$hello_xr_frames \
        TARVEX_STANDIN_CAPTURE_FRAMES=$capture_frames \
        TARVEX_STANDIN_CAPTURE_DIR=$captures \
        LD_LIBRARY_PATH=$library_path LD_DEBUG=libs LD_DEBUG_OUTPUT=$work/hello_xr-libs \
        timeout 120 "$hello_xr" --graphics Vulkan2 <"$work/hello_xr-input" >"$log" 2>&1 ||
        hello_xr_status=$?
    kill "$input_holder_pid" 2>/dev/null || true
    input_holder_pid=
    echo "   hello_xr exited with status $hello_xr_status (log: $log)"
    local loader
    loader=$(sed -n 's/.*calling init: \(.*libopenxr_loader\.so.*\)/\1/p' "$work"/hello_xr-libs.* |
        sort -u | xargs -r readlink -f)
    rm -f "$work"/hello_xr-libs.*
    echo "   OpenXR loader: ${loader:-none}"
    if ((hello_xr_status != 0)) && ((status == 0)); then status=$hello_xr_status; fi

    # Each saved frame with its time on the simulator's path, from the runtime's record.
    local sheet_args=() frame display_time caption
    while read -r frame display_time; do
        caption=$(awk -v t="$display_time" -v s="$path_start" \
            'BEGIN { printf "t=%.2f s", t / 1e9 - s }')
        sheet_args+=("$captures/frame-$frame-left.png" "$captures/frame-$frame-right.png" "$caption")
    done < <(sed -n 's/^captured_view frame=\([0-9]*\) view=0 display_time=\([0-9]*\) .*/\1 \2/p' \
        "$record")
    if ((${#sheet_args[@]} > 0)); then
        "$build/tools/contact-sheet/tarvex-contact-sheet" --out "$sheet" --columns 3 \
            "${sheet_args[@]}"
    else
        echo "   no frame was saved" >&2
        if ((status == 0)); then status=1; fi
    fi
}

run_hello_xr "" "$work"

# The same orbit with the layer's tracked VIEW spaces: hello_xr's "ViewFront" cube, which it places
# 2 m in front of the head through a VIEW reference space, is located with the tracked head and
# stays in the middle of both eyes' images.
echo
echo "== hello_xr again, with trackedviewspace = true in the layer's [OPTIONS]"
options_config trackedviewspace <<'EOF'
[OPTIONS]
trackedviewspace = true
EOF
run_hello_xr -trackedviewspace "$work/trackedviewspace"

# Khronos' newest SDK that Debian packages, built by scripts/build-openxr-sdk.sh: its hello_xr
# through its own 1.1 loader, the layer installed the same way.
sdk=$PWD/build/openxr-sdk
echo
if $sdk_built; then
    echo "== hello_xr of the OpenXR SDK 1.1.47 (Debian 13's source), through the 1.1.47 loader"
    run_hello_xr -sdk1.1.47 "$work" "$sdk/bin/hello_xr" "$sdk/lib"
else
    echo "== the OpenXR SDK 1.1.47 was not built: no run of its hello_xr" >&2
    if ((status == 0)); then status=1; fi
fi

stop_simulator
echo
echo "== simulator: $(tail -n 1 "$simulator_log")"

monado_json=$PWD/build/monado/openxr_monado.json
# As root, Monado raises a thread to real-time priority; without that capability it only warns.
without_realtime=()
if [[ $(id -u) -eq 0 ]]; then
    without_realtime=(setpriv --bounding-set=-sys_nice --inh-caps=-sys_nice)
fi
lavapipe=/usr/share/vulkan/icd.d/lvp_icd.x86_64.json

# One demo run in a Vulkan session on Monado's null compositor, the layer's configuration from
# folder $2, its output in monado-demo-$1.log.
run_monado_demo() {
    local name=$1 config=$2
    shift 2
    local log=$out/monado-demo-$name.log demo_status=0
    XR_RUNTIME_JSON=$monado_json XRT_COMPOSITOR_NULL=1 \
        VK_ICD_FILENAMES=$lavapipe VK_DRIVER_FILES=$lavapipe \
        XDG_DATA_HOME=$work/data-home \
        TARVEX_OPENXR_CONFIG=$config \
        "${without_realtime[@]}" "$build/tools/demo/tarvex-demo" --graphics vulkan \
        --path-start "$path_start" "$@" >"$log" 2>&1 || demo_status=$?
    grep -E '^(  frames|  received|  lag behind|  error at display time|  tracking lost)' "$log" || true
    if ((demo_status != 0)); then
        echo "   the demo exited with status $demo_status (log: $log)"
        if ((status == 0)); then status=$demo_status; fi
    fi
}

# hello_xr for $2 seconds on Monado's main compositor in the Xvfb display, a screenshot of the
# compositor's window every 2 s, what each shows (tarvex-screen-measure), and a contact sheet of
# them (each shot split into the left and right eye's halves) named with the suffix $1. The
# remaining arguments are environment settings.
run_monado_hello_xr() {
    local suffix=$1 seconds=$2
    shift 2
    local shots=$out/monado-hello_xr-shots$suffix log=$out/monado-hello_xr$suffix.log
    rm -rf "$shots"
    mkdir -p "$shots"
    (sleep "$seconds" | env DISPLAY="$display" XRT_COMPOSITOR_FORCE_XCB=1 \
        XR_RUNTIME_JSON="$monado_json" VK_ICD_FILENAMES=$lavapipe VK_DRIVER_FILES=$lavapipe \
        XDG_DATA_HOME="$work/data-home" "$@" \
        timeout $((seconds + 60)) "${without_realtime[@]}" hello_xr --graphics Vulkan2 >"$log" 2>&1) &
    local hello_xr_pid=$! sheet_args=() t shot
    for ((t = 2; t < seconds; t += 2)); do
        sleep 2
        shot=$shots/$(printf '%02d' "$t")
        xwd -root -display "$display" | xwdtopnm 2>/dev/null >"$shot.ppm" || continue
        pnmcut -left 0 -width $((screen_width / 2)) "$shot.ppm" | pnmtopng >"$shot-left.png"
        pnmcut -left $((screen_width / 2)) -width $((screen_width / 2)) "$shot.ppm" |
            pnmtopng >"$shot-right.png"
        sheet_args+=("$shot-left.png" "$shot-right.png" "t=$t s")
    done
    local hello_xr_status=0
    wait "$hello_xr_pid" || hello_xr_status=$?
    echo "   hello_xr exited with status $hello_xr_status (log: $log)"
    if ((hello_xr_status != 0)) && ((status == 0)); then status=$hello_xr_status; fi
    "$build/tools/contact-sheet/tarvex-contact-sheet" --out "$out/monado-contact-sheet$suffix.png" \
        --columns 3 --shrink 1 "${sheet_args[@]}" >/dev/null
    echo "   what the compositor's window showed (frame: the share that is not black; the scene's"
    echo "   centroid against the middle of each eye, 0 the middle, +-0.5 the edges):"
    "$build/tools/screen-measure/tarvex-screen-measure" "$shots"/*.ppm |
        sed "s#^$shots/0*\([0-9]*\)\.ppm:#   t=\1 s:#"
    echo "   contact sheet: $out/monado-contact-sheet$suffix.png"
}

echo
echo "== Monado, a real OpenXR runtime (Debian's monado source, built by scripts/build-monado.sh):"
echo "   the same layer, installed the same way, in front of Monado's simulated headset"
if [[ $monado_built != true ]]; then
    echo "   Monado could not be built: this section is skipped, and the main job fails"
    status=1
else
    start_simulator --path circle
    echo "-- the demo in a Vulkan session on Monado's null compositor, $seconds s, prediction off"
    echo "   (log: $out/monado-demo-off.log)"
    run_monado_demo off "$work" --seconds "$seconds" --plot "$out/monado-views-off.svg"
    echo "-- the same with [OPTIONS] predictdisplaytime = true (log: $out/monado-demo-prediction.log)"
    run_monado_demo prediction "$work/prediction" --seconds "$seconds" \
        --plot "$out/monado-views-prediction.svg"
    stop_simulator
    echo
    echo "== error at display time on Monado (its own display times, converted through"
    echo "   XR_KHR_convert_timespec_time; the null compositor paces frames 50 ms apart)"
    read -r m_off_pm m_off_pp m_off_rm m_off_rp <<<"$(errors_of "$out/monado-demo-off.log")"
    read -r m_on_pm m_on_pp m_on_rm m_on_rp <<<"$(errors_of "$out/monado-demo-prediction.log")"
    printf '%-22s %-26s %-26s\n' "" "prediction off" "prediction on"
    printf '%-22s %-13s%-13s %-13s%-13s\n' "" "median" "99th pct." "median" "99th pct." \
        "position" "$m_off_pm mm" "$m_off_pp mm" "$m_on_pm mm" "$m_on_pp mm" \
        "rotation" "$m_off_rm deg" "$m_off_rp deg" "$m_on_rm deg" "$m_on_rp deg"

    echo
    echo "== hello_xr on Monado's main compositor in an Xvfb display, on the simulator's orbit;"
    echo "   a screenshot of the compositor's window every 2 s"
    screen_width=640
    Xvfb -displayfd 3 -screen 0 ${screen_width}x360x24 3>"$work/display" 2>"$out/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 100); do
        if [[ -s $work/display ]]; then break; fi
        sleep 0.1
    done
    display=:$(cat "$work/display")
    start_simulator --path orbit
    echo "-- without the layer (log: $out/monado-hello_xr-nolayer.log)"
    run_monado_hello_xr -nolayer 14
    echo "-- through the layer (log: $out/monado-hello_xr.log)"
    run_monado_hello_xr "" 14 TARVEX_OPENXR_CONFIG="$work"
    echo "-- through the layer with [OPTIONS] submitruntimeviews = true: the compositor gets"
    echo "   Monado's own views of each frame (log: $out/monado-hello_xr-runtimeviews.log)"
    options_config runtimeviews <<'OPTIONS'
[OPTIONS]
submitruntimeviews = true
OPTIONS
    run_monado_hello_xr -runtimeviews 14 TARVEX_OPENXR_CONFIG="$work/runtimeviews"
    stop_simulator
    # Both runs through the layer side by side, one row per screenshot: the option off on the
    # left, on on the right (the sheet's font has digits and few letters).
    compared_args=()
    for left in "$out"/monado-hello_xr-shots/*-left.png; do
        t=$(basename "$left" -left.png)
        compared_args+=("$left" "${left%-left.png}-right.png" "t=$((10#$t)) s"
            "$out/monado-hello_xr-shots-runtimeviews/$t-left.png"
            "$out/monado-hello_xr-shots-runtimeviews/$t-right.png" "t=$((10#$t)) s")
    done
    "$build/tools/contact-sheet/tarvex-contact-sheet" --out "$out/monado-contact-sheet-compared.png" \
        --columns 2 --shrink 1 "${compared_args[@]}" >/dev/null
    echo "   both side by side (off left, on right): $out/monado-contact-sheet-compared.png"
    kill "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=
fi

echo
echo "Full demo output with the layer's lines: $layer_log"
echo "Views the application received:          $out/received-views.txt"
echo "Picture (top-down, application frame):   $plot"
echo "  below it the position error over time, prediction off and on"
echo "The other demo runs' output:              $out/demo-*.log"
echo "hello_xr's frames (left | right eye):     $out/hello_xr-contact-sheet.png"
echo "  the same with trackedviewspace = true:   $out/hello_xr-contact-sheet-trackedviewspace.png"
echo "  hello_xr 1.1.47 through the 1.1 loader:  $out/hello_xr-contact-sheet-sdk1.1.47.png"
echo "Monado's compositor showing hello_xr:     $out/monado-contact-sheet-nolayer.png (no layer)"
echo "                                          $out/monado-contact-sheet.png (through the layer)"
echo "                                          $out/monado-contact-sheet-runtimeviews.png (option on)"
echo "                                          $out/monado-contact-sheet-compared.png (off | on)"
exit "$status"
