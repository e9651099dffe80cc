#!/usr/bin/env bash
# The layer built against a client-library SDK instead of the in-tree stand-in. The stand-in is
# installed as if it were the vendor's SDK (include/OrvixLib.h, lib/libOrvixLib.a) into a
# temporary folder; a second build of the layer alone is configured against it, for the prefix
# /usr as a distribution package would be, and its link checked; it is installed with DESTDIR and
# its manifest checked; then the main build's demo runs through the system's OpenXR loader with the
# installed layer, fed by the simulator.
#
# Usage: orvix-sdk-test.sh <source dir> <build dir> <demo> <simulator> <runtime manifest>
set -euo pipefail

source=$1 build=$2 demo=$3 simulator=$4 runtime=$5
layer=XR_APILAYER_TARVEX_tracking_override
load_line='OpenXR API Layer XR_APILAYER_TARVEX_tracking_override dynamically loaded library initialized.'
frames=30

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvex-sdk-test.XXXXXX")
simulator_pid=
cleanup() {
    if [[ -n $simulator_pid ]]; then
        kill "$simulator_pid" 2>/dev/null || true
        wait "$simulator_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAILED: $*" >&2
    exit 1
}
cached() {
    sed -n "s/^$1:[A-Z]*=//p" "$2/CMakeCache.txt"
}

# The simulator first: the ports are taken for the whole test, and a busy port ends it before
# the build.
"$simulator" --pose -1,1.5,-2,0,0.2588190,0,0.9659258 >"$work/simulator.out" 2>&1 &
simulator_pid=$!
for _ in $(seq 100); do
    grep -q "started at monotonic" "$work/simulator.out" && break
    kill -0 "$simulator_pid" 2>/dev/null || fail "the simulator stopped: $(cat "$work/simulator.out")"
    sleep 0.1
done
grep -q "started at monotonic" "$work/simulator.out" || fail "the simulator did not start"

echo "-- the stand-in installed as an SDK"
cmake --install "$build" --component orvix_standin_sdk --prefix "$work/sdk" >/dev/null
sdk_library=$work/sdk/lib/libOrvixLib.a
[[ -f $work/sdk/include/OrvixLib.h && -f $sdk_library ]] || fail "the SDK lacks its header or library"

echo "-- the layer alone, configured against the SDK for the prefix /usr"
options=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVEX_BUILD_TESTS=OFF -DTARVEX_BUILD_TOOLS=OFF
    "-DTARVEX_ORVIX_SDK_DIR=$work/sdk" -DTARVEX_ORVIX_SDK_VERSION=9.9 -DCMAKE_INSTALL_PREFIX=/usr
    "-DCMAKE_C_COMPILER=$(cached CMAKE_C_COMPILER "$build")"
    "-DCMAKE_CXX_COMPILER=$(cached CMAKE_CXX_COMPILER "$build")")
launcher=$(cached CMAKE_CXX_COMPILER_LAUNCHER "$build")
if [[ -n $launcher ]]; then
    options+=("-DCMAKE_C_COMPILER_LAUNCHER=$launcher" "-DCMAKE_CXX_COMPILER_LAUNCHER=$launcher")
fi
cmake -S "$source" -B "$work/build" "${options[@]}" >"$work/configure.out" ||
    fail "configure: $(cat "$work/configure.out")"
grep -F "Motion-capture client library: vendor client library OrvixLib 9.9: $sdk_library" \
    "$work/configure.out" || fail "the configure step did not take the SDK: $(cat "$work/configure.out")"
grep -qF 'CPACK_PACKAGE_FILE_NAME "tarvex_tracking-'"$(cached CMAKE_PROJECT_VERSION "$work/build")"'-orvix9.9-' \
    "$work/build/CPackConfig.cmake" || fail "the package's file name does not carry the flavour"
ninja -C "$work/build" -t commands tarvex_tracking >"$work/commands.out"
link=$(tail -n 1 "$work/commands.out")
[[ $link == *"$sdk_library"* ]] || fail "the layer's link line lacks $sdk_library: $link"
if grep -q orvix_standin "$work/commands.out"; then
    fail "the build against the SDK still builds the stand-in"
fi
cmake --build "$work/build" --target tarvex_tracking >"$work/build.out" ||
    fail "build: $(cat "$work/build.out")"

echo "-- installed with DESTDIR: multiarch library folder, manifest naming the installed library"
architecture=$(sed -n 's/.*set(CMAKE_LIBRARY_ARCHITECTURE "\(.*\)")/\1/p' \
    "$work/build"/CMakeFiles/*/CMakeCXXCompiler.cmake)
[[ -n $architecture ]] || fail "no library architecture: not a Debian-style system"
[[ $(cached CMAKE_INSTALL_LIBDIR "$work/build") == "lib/$architecture" ]] ||
    fail "CMAKE_INSTALL_LIBDIR is $(cached CMAKE_INSTALL_LIBDIR "$work/build"), not lib/$architecture"
DESTDIR=$work/root cmake --install "$work/build" >/dev/null
library=$work/root/usr/lib/$architecture/libtarvex_tracking.so
manifest=$work/root/usr/share/openxr/1/api_layers/implicit.d/$layer.json
[[ -f $library && -f $manifest ]] || fail "the library or the manifest is not where expected"
library_path=$(sed -n 's/.*"library_path": *"\([^"]*\)".*/\1/p' "$manifest")
[[ $(cd "$(dirname "$manifest")" && realpath -m -- "$library_path") == "$library" ]] ||
    fail "library_path '$library_path' does not lead to $library"

echo "-- the installed layer in the demo, against the simulator"
mkdir -p "$work/config" "$work/none"
cp "$source/install/TarvexOpenXRConfig.ini" "$work/config/"
status=0
env -u XR_ENABLE_API_LAYERS -u DISABLE_TARVEX_TRACKING_OVERRIDE \
    XR_RUNTIME_JSON="$runtime" XR_API_LAYER_PATH="$work/none" XDG_DATA_HOME="$work/none" \
    XDG_DATA_DIRS="$work/root/usr/share" XDG_CONFIG_DIRS="$work/none" \
    TARVEX_OPENXR_CONFIG="$work/config" TARVEX_STANDIN_RUNTIME_YAW_DEG=10 \
    timeout 60 "$demo" --frames "$frames" --plot "$work/views.svg" >"$work/demo.out" 2>&1 || status=$?
[[ $status == 0 ]] || fail "the demo exited with $status: $(cat "$work/demo.out")"
grep -qF "$load_line" "$work/demo.out" || fail "the layer was not loaded: $(cat "$work/demo.out")"
grep -qF "the layer changed the views of $frames of $frames frames" "$work/demo.out" ||
    fail "the layer did not change every frame's views: $(cat "$work/demo.out")"
grep -qF "(vendor client library OrvixLib 9.9)" "$work/config/tarvex_tracking.log" ||
    fail "the log file does not name the client library: $(head -n 3 "$work/config/tarvex_tracking.log")"
echo "the layer built against the SDK tracks the simulator's headset"
