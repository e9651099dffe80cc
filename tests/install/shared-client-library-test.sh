#!/usr/bin/env bash
# The layer built against a client-library SDK whose library is shared (libOrvixLib.so, made here
# from the stand-in's sources), installed as the tarball installs it into a prefix whose lib/
# already holds the vendor SDK's own copy of that library: ours goes into the layer's private
# folder, which the layer finds through its run path, the SDK's copy stays untouched, and
# install-layer.sh --uninstall takes ours and leaves theirs.
#
# Usage: shared-client-library-test.sh <source dir> <build dir> <work dir>
set -euo pipefail

source=$1 build=$2 work=$3
layer_library=libtarvex_tracking.so
fail() {
    echo "FAILED: $*" >&2
    exit 1
}
cached() {
    sed -n "s/^$1:[A-Z]*=//p" "$2/CMakeCache.txt"
}
# A fixed folder in the build tree, so that the compiler cache sees the same paths every run.
rm -rf "$work"
mkdir -p "$work/sdk/include" "$work/sdk/lib"
compiler=$(cached CMAKE_CXX_COMPILER "$build")
launcher=$(cached CMAKE_CXX_COMPILER_LAUNCHER "$build")

echo "-- a shared client library, as a vendor's SDK may bring one"
cp "$source/tracking/OrvixLib.h" "$work/sdk/include/"
$launcher "$compiler" -std=c++20 -fPIC -shared -pthread -I"$source" \
    "$source"/standins/orvix/{OrvixClient,ServerDiscovery,StandinDefaults,UdpSocket,WireFormat}.cpp \
    -Wl,-soname,libOrvixLib.so.1 -o "$work/sdk/lib/libOrvixLib.so.1"
ln -s libOrvixLib.so.1 "$work/sdk/lib/libOrvixLib.so"

echo "-- the layer alone, against it"
options=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVEX_BUILD_TESTS=OFF -DTARVEX_BUILD_TOOLS=OFF
    "-DTARVEX_ORVIX_SDK_DIR=$work/sdk" -DTARVEX_ORVIX_SDK_VERSION=9.9
    "-DCMAKE_C_COMPILER=$(cached CMAKE_C_COMPILER "$build")" "-DCMAKE_CXX_COMPILER=$compiler")
if [[ -n $launcher ]]; then
    options+=("-DCMAKE_C_COMPILER_LAUNCHER=$launcher" "-DCMAKE_CXX_COMPILER_LAUNCHER=$launcher")
fi
cmake -S "$source" -B "$work/build" "${options[@]}" >"$work/configure.out" ||
    fail "configure: $(cat "$work/configure.out")"
cmake --build "$work/build" --target tarvex_tracking >"$work/build.out" ||
    fail "build: $(cat "$work/build.out")"

echo "-- installed into a prefix whose lib/ holds the SDK's own copy"
prefix=$work/usrlocal
mkdir -p "$prefix/lib" "$prefix/include"
echo "the vendor SDK's own library" >"$prefix/lib/libOrvixLib.so.1"
ln -s libOrvixLib.so.1 "$prefix/lib/libOrvixLib.so"
cmake --install "$work/build" --prefix "$prefix" >"$work/install.out"
[[ $(cat "$prefix/lib/libOrvixLib.so.1") == "the vendor SDK's own library" ]] ||
    fail "the install overwrote the SDK's own lib/libOrvixLib.so.1"
private=$prefix/lib/tarvex_tracking
cmp -s "$private/libOrvixLib.so.1" "$work/sdk/lib/libOrvixLib.so.1" ||
    fail "the client library is not in the layer's private folder: $(cat "$work/install.out")"
[[ $(readlink "$private/libOrvixLib.so") == libOrvixLib.so.1 ]] || fail "the version link is missing"
list=$prefix/share/tarvex_tracking/installed-files.txt
for entry in lib/tarvex_tracking/libOrvixLib.so.1 lib/tarvex_tracking/libOrvixLib.so lib/tarvex_tracking/; do
    grep -qxF "$entry" "$list" || fail "installed-files.txt lacks $entry: $(cat "$list")"
done
if grep -q '^lib/libOrvixLib' "$list"; then
    fail "installed-files.txt names the shared folder's copy: $(cat "$list")"
fi
# The layer resolves the library from its private folder, not from lib/ beside it.
# (ldd fails when what it finds is no library, as the stand-in for the SDK's copy is not.)
linked=$(ldd "$prefix/lib/$layer_library" 2>&1) || true
resolved=$(sed -n 's/^\s*libOrvixLib\.so\.1 => \(\S*\).*/\1/p' <<<"$linked")
[[ $resolved == "$private/libOrvixLib.so.1" ]] ||
    fail "the layer finds libOrvixLib.so.1 at '$resolved': $linked"$'\n'"$(readelf -d "$prefix/lib/$layer_library" | grep -i path)"

echo "-- install-layer.sh --uninstall"
XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config \
    "$prefix/share/tarvex_tracking/install-layer.sh" --uninstall >"$work/uninstall.out" 2>&1 ||
    fail "uninstall failed: $(cat "$work/uninstall.out")"
[[ ! -e $private ]] || fail "the private folder is left: $(ls -A "$private")"
[[ $(cat "$prefix/lib/libOrvixLib.so.1") == "the vendor SDK's own library" &&
    $(readlink "$prefix/lib/libOrvixLib.so") == libOrvixLib.so.1 ]] ||
    fail "the uninstall took the SDK's own library: $(cat "$work/uninstall.out")"
echo "the shared client library lives and goes with the layer; the SDK's own copy stays"
