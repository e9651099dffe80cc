#!/usr/bin/env bash
# Builds the Khronos OpenXR loader for 64-bit Windows (libopenxr_loader.dll) in two versions, which
# the Windows end-to-end tests run the layer through: 1.0.20 from Debian 12's source package and
# 1.1.47 from Debian 13's (fetched by scripts/fetch-openxr-sdk-source.sh, as the Linux SDK's is).
# Debian ships the loader for Linux only, and both sources come stripped of their bundled jsoncpp,
# which Debian 12's libjsoncpp source supplies. scripts/openxr-loader-mingw.patch holds our build
# fixes for MinGW-w64 in 1.0.20; 1.1.47 builds with MinGW-w64 as it comes.
#
# Each loader is cached in the user's cache folder, keyed on its inputs: this script, its patch
# (if any), its sources' SHA-256, the toolchain file and the compiler's version. A second run with the same
# inputs (from any clone on this machine) only says where the loader is.
#
# Usage: build-windows-loader.sh [version...]   (1.0.20, 1.1.47; default: both)
# Leaves build/windows-loaders/<version>, a symbolic link into the cache, with
# bin/libopenxr_loader.dll, its import library and CMake package files.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
links=$root/build/windows-loaders
versions=("$@")
((${#versions[@]})) || versions=(1.0.20 1.1.47)

toolchain=$root/cmake/toolchain-mingw64.cmake
fetch_debian13=$root/scripts/fetch-openxr-sdk-source.sh
cache_root=${TARVEX_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/tarvex}
# The orig tarballs of Debian 12's source packages, as its Sources index gives them; apt-get source
# checks them against the signed index, and these keep a new upload from passing as the cached one.
openxr_1_0_20_sha256=8a9724c3ba9524ccbec287adfb19c5c4770f232b2e5ebbc4c41015d98ac6126e
jsoncpp_sha256=f409856e5920c18d0c2fb85276e24ee607d2a09b5e7d5f0a371368903c275da2

sha256_of() { sha256sum "$1" | cut -d' ' -f1; }
compiler_version() {
    local compiler
    for compiler in x86_64-w64-mingw32-gcc-posix x86_64-w64-mingw32-g++-posix; do
        "$compiler" --version | head -n 1
    done
}

# apt-get source needs a deb-src entry for Debian 12; without one, add the Debian host this machine
# already uses.
have_deb_src() {
    grep -rqsE '^[[:space:]]*(deb-src[[:space:]]|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/
}
# Debian 12's source packages named, unpacked into $src.
fetch_debian12() {
    local get=(apt-get source "$@")
    if (cd "$src" && "${get[@]}") >>"$log" 2>&1; then
        return 0
    fi
    if ! have_deb_src; then
        local codename mirror
        codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
        mirror=$("$root/scripts/debian-mirror.sh")
        echo "Adding the Debian source packages of $codename from $mirror to apt's sources"
        cat >/etc/apt/sources.list.d/tarvex-deb-src.sources <<SOURCES
Types: deb-src
URIs: $mirror
Suites: $codename
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    fi
    apt-get update -qq >>"$log" 2>&1
    if ! (cd "$src" && "${get[@]}") >>"$log" 2>&1; then
        echo "${get[*]} failed:" >&2
        tail -n 20 "$log" >&2
        return 1
    fi
}
# A failure unless $src holds `file` with SHA-256 `expected`.
check_sha256() {
    local file=$1 expected=$2
    if [[ ! -f $src/$file || $(sha256_of "$src/$file") != "$expected" ]]; then
        echo "$src/$file is missing or its SHA-256 is not $expected: Debian's source changed;" \
            "update $0 for it" >&2
        return 1
    fi
}
# The one folder in $src whose name starts with `prefix`.
only_folder() {
    local found
    shopt -s nullglob
    found=("$src/$1"*/)
    shopt -u nullglob
    if ((${#found[@]} != 1)); then
        echo "expected one unpacked $1* in $src" >&2
        return 1
    fi
    echo "${found[0]%/}"
}

build_loader() {
    local version=$1 patch_file source_sha256
    case $version in
    1.0.20)
        patch_file=$root/scripts/openxr-loader-mingw.patch
        source_sha256=$openxr_1_0_20_sha256
        ;;
    1.1.47)
        patch_file=
        source_sha256=$("$fetch_debian13" --sha256)
        ;;
    *)
        echo "no Windows OpenXR loader $version here: 1.0.20 or 1.1.47" >&2
        return 2
        ;;
    esac
    local key out install dll link
    key=$(cat "$root/scripts/build-windows-loader.sh" "${patch_file:-/dev/null}" "$toolchain" \
        <(echo "$source_sha256 $jsoncpp_sha256") <(compiler_version) |
        sha256sum | cut -c1-16)
    out=$cache_root/windows-loader-$version-$key
    install=$out/install
    dll=$install/bin/libopenxr_loader.dll
    link=$links/$version
    mkdir -p "$links" "$cache_root"

    # Clones on this machine share the cache: one builds a loader while the others wait for it.
    local lock
    exec {lock}>"$out.lock"
    flock "$lock"
    if [[ -f $dll && -f $out/built ]]; then
        ln -sfn "$install" "$link"
        echo "Windows OpenXR loader $version: $dll (cached)"
        return 0
    fi

    local started=$SECONDS
    rm -rf "$out"
    src=$out/src
    log=$out/build.log
    mkdir -p "$src" || return 1
    : >"$log"
    echo "Windows OpenXR loader $version: building into $out (log: $log)"

    local sdk jsoncpp tarball
    case $version in
    1.0.20)
        fetch_debian12 openxr-sdk-source libjsoncpp || return 1
        check_sha256 "openxr-sdk-source_1.0.20~dfsg1.orig.tar.xz" "$source_sha256" || return 1
        sdk=$(only_folder openxr-sdk-source-) || return 1
        ;;
    1.1.47)
        fetch_debian12 libjsoncpp || return 1
        tarball=$("$fetch_debian13" "$out/debian13" "$log" | tail -n 1) || return 1
        tar -xJf "$tarball" -C "$src" || return 1
        sdk=$(only_folder OpenXR-SDK-Source-) || return 1
        ;;
    esac
    check_sha256 libjsoncpp_1.9.5.orig.tar.gz "$jsoncpp_sha256" || return 1
    jsoncpp=$(only_folder libjsoncpp-) || return 1
    echo "Windows OpenXR loader $version: from $(basename "$sdk") and $(basename "$jsoncpp")"

    # The loader compiles jsoncpp's three sources in, from where the upstream tree keeps them.
    mkdir -p "$sdk/src/external/jsoncpp" &&
        cp -r "$jsoncpp/include" "$jsoncpp/src" "$sdk/src/external/jsoncpp/" || return 1
    if [[ -n $patch_file ]]; then
        patch -d "$sdk" -p1 --forward --quiet <"$patch_file" || return 1
    fi

    if ! {
        nice -n 10 cmake -S "$sdk" -B "$out/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
            -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$install" -DDYNAMIC_LOADER=ON \
            -DBUILD_WITH_SYSTEM_JSONCPP=OFF -DBUILD_API_LAYERS=OFF -DBUILD_TESTS=OFF \
            -DBUILD_CONFORMANCE_TESTS=OFF -DBUILD_CONFORMANCE_CLI=OFF &&
            nice -n 10 cmake --build "$out/build" -j "$(nproc)" --target openxr_loader &&
            cmake --install "$out/build"
    } >>"$log" 2>&1; then
        echo "building the Windows OpenXR loader $version failed; the end of $log:" >&2
        tail -n 30 "$log" >&2
        return 1
    fi
    if [[ ! -f $dll ]]; then
        echo "the loader's build left no $dll" >&2
        return 1
    fi
    # Only the installed loader is kept; the sources and build tree can be made again.
    rm -rf "$src" "$out/build" "$out/debian13"
    : >"$out/built"
    ln -sfn "$install" "$link"
    echo "Windows OpenXR loader $version: $dll (built in $((SECONDS - started)) s)"
}

# What the single-version script of before left in build/windows-loader.
if [[ -f $root/build/windows-loader/inputs.sha256 ]]; then
    rm -rf "$root/build/windows-loader"
fi

# Each loader in a subshell of its own: a failure leaves the other to be built, and the lock goes
# with the subshell.
status=0
for version in "${versions[@]}"; do
    (build_loader "$version") || status=1
done
exit "$status"
