#!/usr/bin/env bash
# Installs the build into a temporary prefix, then registers and removes the layer with the
# installed install-layer.sh against a temporary XDG_DATA_HOME, asking the real OpenXR loader each
# time what it finds and loads.
#
# Usage: install-layer-test.sh <build dir> <probe> <stand-in runtime manifest>
set -euo pipefail

build=$1 probe=$2 runtime=$3
layer=XR_APILAYER_TARVEX_tracking_override
load_line='OpenXR API Layer XR_APILAYER_TARVEX_tracking_override dynamically loaded library initialized.'

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvex-install-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
# Only our data home counts: no system or user layers.
export XDG_DATA_DIRS=$work/none XDG_CONFIG_DIRS=$work/none HOME=$work/home
export XR_RUNTIME_JSON=$runtime
unset TARVEX_OPENXR_CONFIG XR_ENABLE_API_LAYERS XR_API_LAYER_PATH

fail() {
    echo "FAILED: $*" >&2
    exit 1
}
# Runs the probe; its output and the layer's debugger output (standard error on Linux) go to
# $work/probe.out.
run_probe() {
    "$probe" "$@" >"$work/probe.out" 2>&1 || fail "probe $*: $(cat "$work/probe.out")"
}
expect() {
    grep -qF -- "$1" "$2" || fail "expected '$1' in $2:"$'\n'"$(cat "$2")"
}
expect_not() {
    if grep -qF -- "$1" "$2"; then fail "did not expect '$1' in $2:"$'\n'"$(cat "$2")"; fi
}

cmake --install "$build" --prefix "$work/prefix" >/dev/null
script=$(find "$work/prefix" -name install-layer.sh -type f)
library=$(find "$work/prefix" -name libtarvex_tracking.so -type f)
[[ -x $script && -f $library ]] || fail "install-layer.sh or the library missing from the install"
implicit=$XDG_DATA_HOME/openxr/1/api_layers/implicit.d/$layer.json
explicit=$XDG_DATA_HOME/openxr/1/api_layers/explicit.d/$layer.json

run_probe
expect_not "layer: $layer" "$work/probe.out"

echo "-- implicit"
"$script" | tee "$work/install.out"
expect "registered as an implicit layer" "$work/install.out"
expect "export TARVEX_OPENXR_CONFIG=\"$XDG_CONFIG_HOME/tarvex\"" "$work/install.out"
[[ -f $implicit ]] || fail "no manifest at $implicit"
expect "\"library_path\": \"$library\"" "$implicit"
cmp -s "$XDG_CONFIG_HOME/tarvex/TarvexOpenXRConfig.ini" "$(dirname "$script")/TarvexOpenXRConfig.ini" ||
    fail "the sample configuration was not copied"
run_probe --create-instance
expect "layer: $layer" "$work/probe.out"
expect "instance created" "$work/probe.out"
expect "$load_line" "$work/probe.out"

echo "-- again: nothing changes, the user's configuration stays"
echo "; edited" >>"$XDG_CONFIG_HOME/tarvex/TarvexOpenXRConfig.ini"
"$script" | tee "$work/install.out"
expect "already registered as an implicit layer" "$work/install.out"
expect "kept the existing configuration" "$work/install.out"
expect "; edited" "$XDG_CONFIG_HOME/tarvex/TarvexOpenXRConfig.ini"

echo "-- explicit: listed, but not loaded unless asked for"
"$script" --explicit | tee "$work/install.out"
[[ -f $explicit && ! -e $implicit ]] || fail "the manifest did not move to explicit.d"
run_probe --create-instance
expect "layer: $layer" "$work/probe.out"
expect "instance created" "$work/probe.out"
expect_not "$load_line" "$work/probe.out"
XR_ENABLE_API_LAYERS=$layer run_probe --create-instance
expect "$load_line" "$work/probe.out"

echo "-- uninstall"
"$script" --uninstall | tee "$work/install.out"
[[ ! -e $explicit && ! -e $implicit ]] || fail "a manifest is left after uninstall"
run_probe
expect_not "layer: $layer" "$work/probe.out"
"$script" --uninstall | tee "$work/install.out"
expect "nothing to remove" "$work/install.out"
echo "install test passed"
