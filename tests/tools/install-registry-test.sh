#!/usr/bin/env bash
# Windows build under Wine: registers the layer's manifest the way install/install-layer.ps1 does
# (a DWORD named by the manifest's full path under HKLM\...\ApiLayers\Implicit; 0 enables it) and
# checks what tarvex-check reports. PowerShell is not available under Wine, so the value is
# written with `wine reg`.
# Arguments: wine, tarvex-check.exe, the folder holding the DLL and its manifest.
set -euo pipefail
wine=$1
check=$2
layer_dir=$3

key='HKLM\SOFTWARE\Khronos\OpenXR\1\ApiLayers\Implicit'
manifest="Z:$(echo "$layer_dir/XR_APILAYER_TARVEX_tracking_override.json" | tr / '\\')"
unset TARVEX_OPENXR_CONFIG DISABLE_TARVEX_TRACKING_OVERRIDE

cleanup() { "$wine" reg delete "$key" /v "$manifest" /f >/dev/null 2>&1 || true; }
trap cleanup EXIT

register() {
    "$wine" reg add "$key" /v "$manifest" /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}

run_check() {
    # Without a configuration the run fails (exit 1) whatever the registration says.
    local code=0
    output=$("$wine" "$check" --seconds 0.2 2>/dev/null | tr -d '\r') || code=$?
    if ((code != 1)); then
        echo "tarvex-check exited with $code instead of 1:"
        echo "$output"
        exit 1
    fi
}

expect_line() {
    if ! grep -qF -- "$1" <<<"$output"; then
        echo "missing line: $1"
        echo "--- report:"
        echo "$output"
        exit 1
    fi
}

register 0
run_check
expect_line "[ OK ] manifest $manifest (implicit) names XR_APILAYER_TARVEX_tracking_override"
expect_line "[ OK ] library ${manifest%\\*}\\tarvex_tracking.dll loads and exports xrNegotiateLoaderApiLayerInterface"

register 1
run_check
expect_line "[FAIL] manifest $manifest (implicit) is registered with value 1, which disables it"
expect_line "set the value under HKLM\\SOFTWARE\\Khronos\\OpenXR\\1\\ApiLayers\\Implicit to the DWORD 0"
echo "registry checks as expected"
