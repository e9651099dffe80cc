#!/usr/bin/env bash
# Builds Monado, an open-source OpenXR runtime, so that the end-to-end tests and the main job can
# run the layer in front of a real runtime and compositor. Debian 12 does not package it, so the
# upstream tarball of Debian 13's source package is fetched by scripts/fetch-debian13-source.sh
# (through a private apt configuration, checked against Debian's signed Sources index, with the
# kept copy in ../shared/third-party as fallback) and built with Debian 12's packages.
#
# The result is cached in the user's cache folder, keyed on this script and the source, so that a
# second run (from any clone on this machine) only says where it is; nothing is installed
# system-wide.
#
# Usage: build-monado.sh [link]   (default link: build/monado)
# Leaves: <link>/openxr_monado.json (usable as XR_RUNTIME_JSON) beside libopenxr_monado.so, where
# <link> is a symbolic link into the cache.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
link=${1:-$root/build/monado}

package=monado
version=25.0.0+dfsg
tarball=${package}_${version}.orig.tar.xz
# The tarball's SHA-256 as Debian 13's Sources index gives it; the index is asked again on every
# fresh build, and a difference stops the build.
expected_sha256=ddfa1899078173bea3db98034dc8b990df727a169f490896570ff6e3bda72113

cache_root=${TARVEX_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/tarvex}
key=$(cat "$root/scripts/build-monado.sh" <(echo "$expected_sha256") | sha256sum | cut -c1-16)
out=$cache_root/monado-$key
runtime_dir=$out/runtime
manifest=$runtime_dir/openxr_monado.json

point_link() {
    mkdir -p "$(dirname "$link")"
    ln -sfn "$runtime_dir" "$link"
}

if [[ -f $manifest && -f $runtime_dir/libopenxr_monado.so ]]; then
    point_link
    echo "Monado: $manifest (cached)"
    exit 0
fi

started=$SECONDS
rm -rf "$out"
mkdir -p "$runtime_dir"
log=$out/build.log
: >"$log"
echo "Monado: building $version into $out (log: $log)"

source_tarball=$("$root/scripts/fetch-debian13-source.sh" "$package" "$tarball" "$expected_sha256" \
    "$out" "$log" | tail -n 1)

tar -xJf "$source_tarball" -C "$out/src"
shopt -s nullglob
source_dirs=("$out"/src/monado-*/)
shopt -u nullglob
if ((${#source_dirs[@]} != 1)); then
    echo "expected one unpacked monado-* folder in $out/src" >&2
    exit 1
fi
source_dir=${source_dirs[0]%/}

# Headless and without hardware: no service, no samples, none of the device drivers that need
# hardware or libraries Debian 12 lacks. The simulated headset and the null compositor remain.
drivers_off=()
for driver in NS WMR VIVE STEAMVR_LIGHTHOUSE TWRAP HDK HYDRA PSMV PSSENSE RIFT_S REMOTE; do
    drivers_off+=("-DXRT_BUILD_DRIVER_$driver=OFF")
done
echo "Monado: configuring and building the target openxr_monado (niced; a few minutes)"
if ! {
    nice -n 10 cmake -S "$source_dir" -B "$out/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DXRT_FEATURE_SERVICE=OFF -DBUILD_TESTING=OFF -DXRT_BUILD_SAMPLES=OFF \
        -DXRT_FEATURE_STEAMVR_PLUGIN=OFF -DXRT_MODULE_AUX_VIVE=OFF "${drivers_off[@]}" &&
        nice -n 10 cmake --build "$out/build" -j "$(nproc)" --target openxr_monado
} >>"$log" 2>&1; then
    echo "building Monado failed; the end of $log:" >&2
    tail -n 30 "$log" >&2
    exit 1
fi

library=$(find "$out/build" -name libopenxr_monado.so -type f | head -n 1)
if [[ -z $library ]]; then
    echo "Monado's build left no libopenxr_monado.so" >&2
    exit 1
fi
cp "$library" "$runtime_dir/"
cat >"$manifest" <<'EOF'
{
    "file_format_version": "1.0.0",
    "runtime": {
        "name": "Monado",
        "library_path": "./libopenxr_monado.so"
    }
}
EOF
# Only the runtime is kept; the build tree is large and can be made again.
rm -rf "$out/build" "$out/src" "$out/apt"
point_link
echo "Monado: $manifest (built in $((SECONDS - started)) s)"
