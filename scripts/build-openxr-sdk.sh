#!/usr/bin/env bash
# Builds the Khronos OpenXR SDK 1.1.47 for Linux (the loader, hello_xr, the core validation and
# API dump layers), so that the end-to-end tests can run the layer through today's 1.1 loader
# beside Debian 12's 1.0.20. Debian 12 packages only 1.0.20, so the upstream tarball of Debian 13's
# source package is fetched by scripts/fetch-openxr-sdk-source.sh (which checks it against Debian's
# signed Sources index) and built with Debian 12's packages. The tarball is stripped of the bundled
# jsoncpp, which Debian 12's libjsoncpp-dev replaces.
#
# The result is cached in the user's cache folder, keyed on this script and the source, so that a
# second run (from any clone on this machine) only says where it is; nothing is installed
# system-wide.
#
# Usage: build-openxr-sdk.sh [link]   (default link: build/openxr-sdk)
# Leaves, under <link> (a symbolic link into the cache): lib/libopenxr_loader.so.1,
# bin/hello_xr (which finds that loader through its RUNPATH), and the two layers' libraries in lib/
# with their manifests in share/openxr/1/api_layers/explicit.d/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
link=${1:-$root/build/openxr-sdk}

# The source's SHA-256 keys the cache; scripts/fetch-openxr-sdk-source.sh checks the tarball
# against it when it fetches.
fetch_source=$root/scripts/fetch-openxr-sdk-source.sh
expected_sha256=$("$fetch_source" --sha256)

cache_root=${TARVEX_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/tarvex}
key=$(cat "$root/scripts/build-openxr-sdk.sh" <(echo "$expected_sha256") | sha256sum | cut -c1-16)
out=$cache_root/openxr-sdk-$key
sdk_dir=$out/sdk
layers_dir=$sdk_dir/share/openxr/1/api_layers/explicit.d
products=(
    "$sdk_dir/lib/libopenxr_loader.so.1" "$sdk_dir/bin/hello_xr"
    "$sdk_dir/lib/libXrApiLayer_core_validation.so" "$layers_dir/XrApiLayer_core_validation.json"
    "$sdk_dir/lib/libXrApiLayer_api_dump.so" "$layers_dir/XrApiLayer_api_dump.json"
)

point_link() {
    mkdir -p "$(dirname "$link")"
    ln -sfn "$sdk_dir" "$link"
}

all_built() {
    local product
    for product in "${products[@]}"; do
        [[ -f $product ]] || return 1
    done
}

if all_built; then
    point_link
    echo "OpenXR SDK 1.1.47: $sdk_dir (cached)"
    exit 0
fi

started=$SECONDS
rm -rf "$out"
mkdir -p "$out" "$sdk_dir"
log=$out/build.log
: >"$log"
echo "OpenXR SDK 1.1.47: building into $out (log: $log)"

source_tarball=$("$fetch_source" "$out" "$log" | tail -n 1)
tar -xJf "$source_tarball" -C "$out/src"
shopt -s nullglob
source_dirs=("$out"/src/OpenXR-SDK-Source-*/)
shopt -u nullglob
if ((${#source_dirs[@]} != 1)); then
    echo "expected one unpacked OpenXR-SDK-Source-* folder in $out/src" >&2
    exit 1
fi
source_dir=${source_dirs[0]%/}

# The system's jsoncpp in place of the removed bundled one (without it the build would look for
# the missing sources), the loader's configuration folder the system's /etc as in Debian's own
# build, and hello_xr finding the loader beside it rather than Debian 12's.
echo "OpenXR SDK 1.1.47: configuring and building the loader, hello_xr and two layers (niced;" \
    "several minutes)"
if ! {
    nice -n 10 cmake -S "$source_dir" -B "$out/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$sdk_dir" -DCMAKE_INSTALL_LIBDIR=lib -DCMAKE_INSTALL_SYSCONFDIR=/etc \
        '-DCMAKE_INSTALL_RPATH=$ORIGIN/../lib' -DDYNAMIC_LOADER=ON -DBUILD_WITH_SYSTEM_JSONCPP=ON \
        -DBUILD_CONFORMANCE_TESTS=OFF -DPRESENTATION_BACKEND=xlib &&
        grep -q '^BUILD_WITH_SYSTEM_JSONCPP:BOOL=ON' "$out/build/CMakeCache.txt" &&
        nice -n 10 cmake --build "$out/build" -j "$(nproc)" --target openxr_loader hello_xr \
            XrApiLayer_core_validation XrApiLayer_api_dump &&
        cmake --install "$out/build" --component Loader &&
        cmake --install "$out/build" --component Layers &&
        cmake --install "$out/build" --component hello_xr
} >>"$log" 2>&1; then
    echo "building the OpenXR SDK failed; the end of $log:" >&2
    tail -n 30 "$log" >&2
    exit 1
fi

# The layers' manifests name their libraries bare, which only LD_LIBRARY_PATH would resolve; a
# path relative to the manifest finds them wherever the cache is.
for manifest in "$layers_dir"/*.json; do
    sed -i 's|"library_path": "lib|"library_path": "../../../../../lib/lib|' "$manifest"
done
if ! all_built; then
    echo "the OpenXR SDK's build left out one of: ${products[*]}" >&2
    exit 1
fi
# Only the installed SDK is kept; the build tree is large and can be made again.
rm -rf "$out/build" "$out/src"
point_link
echo "OpenXR SDK 1.1.47: $sdk_dir (built in $((SECONDS - started)) s)"
