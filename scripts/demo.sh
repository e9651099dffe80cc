#!/usr/bin/env bash
# The main job: installs what is missing, builds the layer and shows where it and its manifest are.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target tarvex_tracking

echo
echo "Layer library: $PWD/build/default/layer/libtarvex_tracking.so"
echo "Layer manifest: $PWD/build/default/layer/XR_APILAYER_TARVEX_tracking_override.json"
