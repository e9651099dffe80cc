#!/usr/bin/env bash
# Builds the Khronos OpenXR loader for 64-bit Windows (libopenxr_loader.dll), which the Windows
# end-to-end tests run the layer through. Debian ships the loader for Linux only, so it is built
# here from Debian's own source packages: openxr-sdk-source (stripped of its bundled jsoncpp) and
# libjsoncpp, which supplies that jsoncpp. scripts/openxr-loader-mingw.patch holds our build fixes
# for MinGW-w64. The result is cached: a second run with the same script, patch and toolchain
# file only says so.
#
# Usage: build-windows-loader.sh [output folder]   (default: build/windows-loader)
# Leaves: <output>/install/bin/libopenxr_loader.dll, its import library and CMake package files.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=${1:-$root/build/windows-loader}
mkdir -p "$out"
out=$(cd "$out" && pwd)

patch_file=$root/scripts/openxr-loader-mingw.patch
toolchain=$root/cmake/toolchain-mingw64.cmake
dll=$out/install/bin/libopenxr_loader.dll
stamp=$out/inputs.sha256
log=$out/build.log

inputs=$(cat "$root/scripts/build-windows-loader.sh" "$patch_file" "$toolchain" | sha256sum | cut -d' ' -f1)
if [[ -f $dll && -f $stamp && $(cat "$stamp") == "$inputs" ]]; then
    echo "Windows OpenXR loader: $dll (cached)"
    exit 0
fi

started=$SECONDS
rm -rf "$out/src" "$out/build" "$out/install" "$stamp"
mkdir -p "$out/src"
: >"$log"

# apt-get source needs a deb-src entry; without one, add the Debian host this machine already uses.
have_deb_src() {
    grep -rqsE '^[[:space:]]*(deb-src[[:space:]]|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/
}
debian_mirror() {
    local uri
    uri=$(grep -rhsE '^[[:space:]]*URIs:[[:space:]]*\S+/debian/?$' /etc/apt/sources.list.d/ | head -n 1 |
        awk '{print $2}')
    if [[ -z $uri ]]; then
        uri=$(grep -hsE '^[[:space:]]*deb[[:space:]]+\S+/debian/?[[:space:]]' /etc/apt/sources.list |
            head -n 1 | awk '{print $2}')
    fi
    echo "${uri:-http://deb.debian.org/debian}"
}
fetch_sources() {
    (cd "$out/src" && apt-get source openxr-sdk-source libjsoncpp) >>"$log" 2>&1
}

if ! fetch_sources; then
    if ! have_deb_src; then
        codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
        mirror=$(debian_mirror)
        echo "Adding the Debian source packages of $codename from $mirror to apt's sources"
        cat >/etc/apt/sources.list.d/tarvex-deb-src.sources <<EOF
Types: deb-src
URIs: $mirror
Suites: $codename
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    fi
    apt-get update -qq >>"$log" 2>&1
    rm -rf "$out/src" && mkdir -p "$out/src"
    if ! fetch_sources; then
        echo "apt-get source openxr-sdk-source libjsoncpp failed:" >&2
        tail -n 20 "$log" >&2
        exit 1
    fi
fi

shopt -s nullglob
sdk_dirs=("$out"/src/openxr-sdk-source-*/)
jsoncpp_dirs=("$out"/src/libjsoncpp-*/)
shopt -u nullglob
if ((${#sdk_dirs[@]} != 1 || ${#jsoncpp_dirs[@]} != 1)); then
    echo "expected one unpacked openxr-sdk-source and one libjsoncpp in $out/src" >&2
    exit 1
fi
sdk=${sdk_dirs[0]%/}
jsoncpp=${jsoncpp_dirs[0]%/}
echo "Building the Windows OpenXR loader from $(basename "$sdk") and $(basename "$jsoncpp")"

# The loader compiles jsoncpp's three sources in, from where the upstream tree keeps them.
mkdir -p "$sdk/src/external/jsoncpp"
cp -r "$jsoncpp/include" "$jsoncpp/src" "$sdk/src/external/jsoncpp/"
patch -d "$sdk" -p1 --forward --quiet <"$patch_file"

if ! {
    cmake -S "$sdk" -B "$out/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$out/install" -DDYNAMIC_LOADER=ON \
        -DBUILD_WITH_SYSTEM_JSONCPP=OFF -DBUILD_API_LAYERS=OFF -DBUILD_TESTS=OFF \
        -DBUILD_CONFORMANCE_TESTS=OFF &&
        cmake --build "$out/build" -j "$(nproc)" --target openxr_loader &&
        cmake --install "$out/build"
} >>"$log" 2>&1; then
    echo "building the Windows OpenXR loader failed; the end of $log:" >&2
    tail -n 30 "$log" >&2
    exit 1
fi
if [[ ! -f $dll ]]; then
    echo "the loader's build left no $dll" >&2
    exit 1
fi
echo "$inputs" >"$stamp"
echo "Windows OpenXR loader: $dll (built in $((SECONDS - started)) s)"
