#!/usr/bin/env bash
# Builds the Debian package of a build folder with cpack, runs lintian on it (no errors allowed)
# and checks its layout; then, in a throw-away root (an overlay over / on a tmpfs, in a private
# mount namespace, so the real system stays as it is and everything vanishes with the namespace,
# also on failure), installs it with apt-get, runs the installed tarvex-check and asks the system's
# OpenXR loader, searching the system folders, to load the layer for the stand-in runtime, and runs
# hello_xr through the installed layer, fed by the simulator on its fixed ports; then removes and
# purges the package and checks that no file of it remains.
#
# Usage: deb-package-test.sh <build dir> <probe> <stand-in runtime manifest> <project version>
#                            [<simulator>]
# Without the simulator (a sanitized build, whose layer cannot load into hello_xr) there is no
# hello_xr run.
set -euo pipefail

fail() {
    echo "FAILED: $*" >&2
    exit 1
}
layer=XR_APILAYER_TARVEX_tracking_override
package=tarvex-tracking
load_line='OpenXR API Layer XR_APILAYER_TARVEX_tracking_override dynamically loaded library initialized.'

if [[ ${1-} == --inside ]]; then
    # In the throw-away root: $2 the .deb, $3 the probe, $4 the runtime manifest, $5 the version,
    # $6 the simulator.
    deb=$2 probe=$3 runtime=$4 version=$5 simulator=${6-}
    IFS=. read -r major minor patch <<<"$version"
    export DEBIAN_FRONTEND=noninteractive
    mkdir -p /tmp/tarvex-deb-test/config /tmp/tarvex-deb-test/none
    cd /tmp/tarvex-deb-test
    expect() { grep -qF -- "$1" "$2" || fail "expected '$1' in:"$'\n'"$(cat "$2")"; }
    # The loader sees the runtime and the system folders the package installs into.
    probe_layer() {
        env -u XR_API_LAYER_PATH -u XR_ENABLE_API_LAYERS -u DISABLE_TARVEX_TRACKING_OVERRIDE \
            XR_RUNTIME_JSON="$runtime" HOME="$PWD"/none XDG_DATA_HOME="$PWD"/none \
            XDG_DATA_DIRS=/usr/share XDG_CONFIG_HOME="$PWD"/none XDG_CONFIG_DIRS="$PWD"/none \
            TARVEX_OPENXR_CONFIG="$PWD"/config "$probe" --create-instance >probe.out 2>&1 ||
            fail "the probe failed: $(cat probe.out)"
    }

    # hello_xr, as a user runs it, with the sample configuration copied as the guide says: every
    # frame it submits carries the layer's views, not the runtime's.
    hello_xr_through_layer() {
        local frames=30
        cp /usr/share/tarvex_tracking/TarvexOpenXRConfig.ini config/
        "$simulator" --path orbit >simulator.out 2>&1 &
        local simulator_pid=$!
        # hello_xr ends when its input does: a pipe held open until it is done.
        rm -f input && mkfifo input
        sleep 70 >input 2>/dev/null &
        local holder_pid=$!
        local status=0
        env -u XR_API_LAYER_PATH -u XR_ENABLE_API_LAYERS -u DISABLE_TARVEX_TRACKING_OVERRIDE \
            XR_RUNTIME_JSON="$runtime" HOME="$PWD"/none XDG_DATA_HOME="$PWD"/none \
            XDG_DATA_DIRS=/usr/share XDG_CONFIG_HOME="$PWD"/none XDG_CONFIG_DIRS="$PWD"/none \
            TARVEX_OPENXR_CONFIG="$PWD"/config TARVEX_STANDIN_SESSION_FRAMES=$frames \
            TARVEX_STANDIN_RUNTIME_RECORD="$PWD"/record.txt \
            VK_ICD_FILENAMES=/usr/share/vulkan/icd.d/lvp_icd.x86_64.json \
            timeout 60 hello_xr --graphics Vulkan2 <input >hello_xr.out 2>&1 || status=$?
        kill "$simulator_pid" "$holder_pid" 2>/dev/null || true
        wait "$simulator_pid" "$holder_pid" 2>/dev/null || true
        ((status == 0)) || fail "hello_xr exited with $status: $(tail -n 20 hello_xr.out)"
        expect "$load_line" hello_xr.out
        expect "Position set" hello_xr.out
        local accepted
        accepted=$(grep -c 'end_frame .* result=XR_SUCCESS' record.txt || true)
        ((accepted == frames)) || fail "$accepted of $frames frames accepted: $(tail -n 5 record.txt)"
        # The views hello_xr submits are the layer's, which differ from what the runtime located.
        awk '$1 == "locate_views" { located = $3 }
             $1 == "projection_layer" { n++; if ($3 == located) same++ }
             END { exit !(n > 0 && same == 0) }' record.txt ||
            fail "hello_xr submitted the runtime's own views: $(grep -m 2 -E '^(locate_views|projection_layer)' record.txt)"
        rm -f config/TarvexOpenXRConfig.ini config/tarvex_tracking*.log record.txt
    }

    install_and_use() {
        echo "-- apt-get install ./$(basename "$deb")"
        apt-get install -y -q --no-install-recommends "$deb" >apt.out 2>&1 ||
            fail "apt-get install failed: $(cat apt.out)"
        dpkg -L $package | sort >files.txt
        tarvex-check --version >check.out 2>&1 ||
            fail "tarvex-check --version failed: $(cat check.out)"
        expect "$version (stand-in client library, talks only to tarvex-mocap-sim)" check.out
        [[ $(command -v tarvex-check) == /usr/bin/tarvex-check ]] ||
            fail "tarvex-check is not in /usr/bin"
        # The stand-in package ships the only server its layer talks to.
        tarvex-mocap-sim --version >sim.out 2>&1 ||
            fail "tarvex-mocap-sim --version failed: $(cat sim.out)"
        expect "tarvex-mocap-sim $version (stand-in client library" sim.out
        probe_layer
        expect "layer: $layer version $((major * 1000000 + minor * 1000 + patch))" probe.out
        expect "$load_line" probe.out
        expect "instance created" probe.out
        if [[ -n $simulator ]]; then
            hello_xr_through_layer
        fi
    }
    # $1: remove or purge.
    remove_and_check() {
        echo "-- apt-get $1"
        apt-get "$1" -y -q $package >apt.out 2>&1 || fail "apt-get $1 failed: $(cat apt.out)"
        if dpkg-query -W -f='${Status}\n' $package 2>/dev/null | grep -q ' installed'; then
            fail "after $1 dpkg has $package as $(dpkg-query -W -f='${Status}' $package)"
        fi
        local left=() path
        while IFS= read -r path; do
            # Shared folders (/usr, /usr/bin, ...) stay; the package's files and own folders go.
            if [[ -e $path && ! (-d $path && $path != */tarvex[-_]tracking) ]]; then
                left+=("$path")
            fi
        done <files.txt
        ((${#left[@]} == 0)) || fail "left behind after apt-get $1: ${left[*]}"
        probe_layer
        if grep -qF "$layer" probe.out; then
            fail "after $1 the loader still finds the layer: $(cat probe.out)"
        fi
    }

    install_and_use
    remove_and_check remove
    install_and_use
    remove_and_check purge
    echo "installed, loaded through the system's folders, removed without residue"
    exit 0
fi

build=$1 probe=$2 runtime=$3 version=$4 simulator=${5-}
for tool in cpack dpkg-deb lintian unshare chroot mount apt-get dpkg-architecture hello_xr; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done
[[ $(id -u) == 0 ]] || fail "the throw-away root needs root (a mount namespace and overlay)"
arch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvex-deb-test.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "-- cpack -G DEB"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" >"$work/cpack.out" 2>&1 ||
    fail "cpack failed: $(cat "$work/cpack.out")"
debs=("$work"/package/*.deb)
((${#debs[@]} == 1)) && [[ -f ${debs[0]} ]] || fail "expected one .deb, found: ${debs[*]}"
deb=${debs[0]}
[[ $(basename "$deb") == ${package}_${version}+standin_*.deb ]] || fail "unexpected file name $(basename "$deb")"

echo "-- lintian"
lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.out" 2>&1 ||
    fail "lintian reports errors: $(cat "$work/lintian.out")"
cat "$work/lintian.out"

echo "-- the package's layout"
dpkg-deb -x "$deb" "$work/unpacked"
for path in "usr/lib/$arch/tarvex_tracking/libtarvex_tracking.so" usr/bin/tarvex-check \
    "usr/share/openxr/1/api_layers/implicit.d/$layer.json" \
    usr/share/doc/$package/copyright usr/share/doc/$package/changelog.gz \
    usr/share/doc/$package/README.md usr/share/man/man1/tarvex-check.1.gz \
    usr/bin/tarvex-mocap-sim usr/share/man/man1/tarvex-mocap-sim.1.gz \
    usr/share/tarvex_tracking/TarvexOpenXRConfig.ini; do
    [[ -f $work/unpacked/$path ]] || fail "$path missing from the package"
done
# Nothing of the tarball's own layout: no library in the shared library folder, no user script.
for path in "usr/lib/$arch/libtarvex_tracking.so" usr/lib/libtarvex_tracking.so \
    usr/share/tarvex_tracking/install-layer.sh usr/share/doc/$package/LICENSE; do
    [[ ! -e $work/unpacked/$path ]] || fail "$path must not be in the package"
done
grep -qF "\"library_path\": \"/usr/lib/$arch/tarvex_tracking/libtarvex_tracking.so\"" \
    "$work/unpacked/usr/share/openxr/1/api_layers/implicit.d/$layer.json" ||
    fail "the manifest does not name the library by its absolute path"
dpkg-deb -f "$deb" Depends | grep -q libc6 || fail "no shared-library Depends: $(dpkg-deb -f "$deb" Depends)"

echo "-- in a throw-away root"
mkdir "$work/mnt"
unshare -m -- bash -c '
    set -euo pipefail
    work=$1 build=$2 deb=$3 probe=$4 runtime=$5 version=$6 script=$7 simulator=$8
    mount --make-rprivate /
    mount -t tmpfs tmpfs "$work/mnt"
    mkdir "$work/mnt/upper" "$work/mnt/work" "$work/mnt/root"
    mount -t overlay overlay -o "lowerdir=/,upperdir=$work/mnt/upper,workdir=$work/mnt/work" \
        "$work/mnt/root"
    root=$work/mnt/root
    mount --rbind /proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mkdir -p "$root$build" "$root/tmp/tarvex-deb-test"
    mount --rbind "$build" "$root$build"
    cp "$deb" "$script" "$root/tmp/tarvex-deb-test/"
    chroot "$root" bash "/tmp/tarvex-deb-test/$(basename "$script")" --inside \
        "/tmp/tarvex-deb-test/$(basename "$deb")" "$probe" "$runtime" "$version" "$simulator"
' bash "$work" "$build" "$deb" "$probe" "$runtime" "$version" "$0" "$simulator"

# The real system never saw the package.
if dpkg-query -W -f='${Status}' $package 2>/dev/null | grep -q installed; then
    fail "$package is installed on the real system"
fi
