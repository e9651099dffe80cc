#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the manifest it wrote through the real
# OpenXR loader; then registers and removes the layer with the build tree's and the installed
# install-layer.sh against a temporary XDG_DATA_HOME, asking the loader each time what it finds
# and loads. The implicit layer is only for processes that set TARVEX_OPENXR_CONFIG.
#
# Usage: install-layer-test.sh <build dir> <probe> <stand-in runtime manifest> <project version>
set -euo pipefail

build=$1 probe=$2 runtime=$3 version=$4
layer=XR_APILAYER_TARVEX_tracking_override
load_line='OpenXR API Layer XR_APILAYER_TARVEX_tracking_override dynamically loaded library initialized.'
IFS=. read -r major minor patch <<<"$version"
layer_version=$((major * 1000000 + minor * 1000 + patch))

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvex-install-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
# Only our data home counts: no system or user layers.
export XDG_DATA_DIRS=$work/none XDG_CONFIG_DIRS=$work/none HOME=$work/home
export XR_RUNTIME_JSON=$runtime
unset TARVEX_OPENXR_CONFIG XR_ENABLE_API_LAYERS XR_API_LAYER_PATH DISABLE_TARVEX_TRACKING_OVERRIDE
config_dir=$XDG_CONFIG_HOME/tarvex

fail() {
    echo "FAILED: $*" >&2
    exit 1
}
# Runs the probe; its output and the layer's debugger output (standard error on Linux) go to
# $work/probe.out.
run_probe() {
    "$probe" "$@" >"$work/probe.out" 2>&1 || fail "probe $*: $(cat "$work/probe.out")"
}
# The probe in a process that names the layer's configuration.
run_configured_probe() {
    TARVEX_OPENXR_CONFIG=$config_dir run_probe "$@"
}
expect() {
    grep -qF -- "$1" "$2" || fail "expected '$1' in $2:"$'\n'"$(cat "$2")"
}
expect_not() {
    if grep -qF -- "$1" "$2"; then fail "did not expect '$1' in $2:"$'\n'"$(cat "$2")"; fi
}
expect_layer_loaded() {
    expect "layer: $layer version $layer_version" "$work/probe.out"
    expect "instance created" "$work/probe.out"
    expect "$load_line" "$work/probe.out"
}
expect_layer_absent() {
    expect "instance created" "$work/probe.out"
    expect_not "layer: $layer" "$work/probe.out"
    expect_not "$load_line" "$work/probe.out"
}

echo "-- cmake --install into a prefix: the manifest names the installed library"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
installed_manifest=$work/prefix/share/openxr/1/api_layers/implicit.d/$layer.json
library=$(find "$work/prefix" -name libtarvex_tracking.so -type f)
[[ -f $installed_manifest && -f $library ]] || fail "the manifest or the library missing from the install"
library_path=$(sed -n 's/.*"library_path": *"\([^"]*\)".*/\1/p' "$installed_manifest")
resolved=$(cd "$(dirname "$installed_manifest")" && realpath -m -- "$library_path")
[[ $resolved == "$(realpath "$library")" ]] ||
    fail "library_path '$library_path' leads to $resolved, not to the installed $library"
# The loader searches the prefix's share/ as it searches /usr/local/share.
XDG_DATA_DIRS=$work/prefix/share run_configured_probe --create-instance
expect_layer_loaded
XDG_DATA_DIRS=$work/prefix/share run_probe --create-instance
expect_layer_absent

echo "-- the build tree's install-layer.sh registers the build's library"
mkdir -p "$config_dir"
"$build/install/install-layer.sh" | tee "$work/install.out"
implicit=$XDG_DATA_HOME/openxr/1/api_layers/implicit.d/$layer.json
explicit=$XDG_DATA_HOME/openxr/1/api_layers/explicit.d/$layer.json
expect "registered as an implicit layer" "$work/install.out"
expect "\"library_path\": \"$(realpath "$build/layer/libtarvex_tracking.so")\"" "$implicit"
run_configured_probe --create-instance
expect_layer_loaded
"$build/install/install-layer.sh" --uninstall >/dev/null
rm -rf "$config_dir"

script=$(find "$work/prefix" -name install-layer.sh -type f)
[[ -x $script ]] || fail "install-layer.sh missing from the install"

run_probe
expect_not "layer: $layer" "$work/probe.out"

echo "-- implicit: loaded where TARVEX_OPENXR_CONFIG is set, absent elsewhere"
"$script" | tee "$work/install.out"
expect "registered as an implicit layer" "$work/install.out"
expect "only to applications started with TARVEX_OPENXR_CONFIG" "$work/install.out"
expect "export TARVEX_OPENXR_CONFIG=\"$config_dir\"" "$work/install.out"
[[ -f $implicit ]] || fail "no manifest at $implicit"
expect "\"library_path\": \"$library\"" "$implicit"
cmp -s "$config_dir/TarvexOpenXRConfig.ini" "$(dirname "$script")/TarvexOpenXRConfig.ini" ||
    fail "the sample configuration was not copied"
run_configured_probe --create-instance
expect_layer_loaded
run_probe --create-instance
expect_layer_absent

echo "-- again: nothing changes, the user's configuration stays"
echo "; edited" >>"$config_dir/TarvexOpenXRConfig.ini"
"$script" | tee "$work/install.out"
expect "already registered as an implicit layer" "$work/install.out"
expect "kept the existing configuration" "$work/install.out"
expect "; edited" "$config_dir/TarvexOpenXRConfig.ini"

echo "-- explicit: listed, but not loaded unless asked for"
"$script" --explicit | tee "$work/install.out"
[[ -f $explicit && ! -e $implicit ]] || fail "the manifest did not move to explicit.d"
run_configured_probe --create-instance
expect "layer: $layer" "$work/probe.out"
expect "instance created" "$work/probe.out"
expect_not "$load_line" "$work/probe.out"
XR_ENABLE_API_LAYERS=$layer run_probe --create-instance
expect "$load_line" "$work/probe.out"

echo "-- the build tree's uninstall leaves the installed copy's registration"
"$build/install/install-layer.sh" --uninstall | tee "$work/install.out"
expect "left the explicit layer manifest $explicit in place: it registers $library" "$work/install.out"
[[ -f $explicit ]] || fail "another copy's uninstall removed the registration"
XR_ENABLE_API_LAYERS=$layer run_probe --create-instance
expect "$load_line" "$work/probe.out"

echo "-- uninstall"
"$script" --uninstall | tee "$work/install.out"
[[ ! -e $explicit && ! -e $implicit ]] || fail "a manifest is left after uninstall"
run_configured_probe
expect_not "layer: $layer" "$work/probe.out"
# The installed script also took the installed files with it, and the package's own folders.
left=$(find "$work/prefix" -type f -o -type l)
[[ -z $left ]] || fail "files left in the prefix after uninstall: $left"
[[ ! -e $work/prefix/share/tarvex_tracking && ! -e $work/prefix/share/doc/tarvex-tracking ]] ||
    fail "the package's own folders are left after uninstall"
# The prefix held nothing else: none of the folders the install made is left either.
left=$(find "$work/prefix" -mindepth 1)
[[ -z $left ]] || fail "folders left in the prefix after uninstall: $left"
"$build/install/install-layer.sh" --uninstall | tee "$work/install.out"
expect "nothing to remove" "$work/install.out"
echo "install test passed"
