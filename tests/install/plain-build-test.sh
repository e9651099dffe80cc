#!/usr/bin/env bash
# A packager's plain build: the release layer-only flavour configured with CMake's default
# generator, Unix Makefiles (which, unlike Ninja, makes no folder for a command's output), building
# the manual pages and so the tools they are made from. The pages must carry a version line that
# man can show, the build flavour, and SEE ALSO pointing to the guide and the log file; a stand-in
# build makes the simulator's page too, since its packages ship the simulator.
#
# Usage: plain-build-test.sh <source dir> <build dir> <work dir> <project version>
set -euo pipefail

source=$1 build=$2 work=$3 version=$4
fail() {
    echo "FAILED: $*" >&2
    exit 1
}
cached() {
    sed -n "s/^$1:[A-Z]*=//p" "$2/CMakeCache.txt"
}
command -v make >/dev/null || fail "make is missing (scripts/install-deps.sh installs it)"
# A fixed folder in the build tree, so that the compiler cache sees the same paths every run.
rm -rf "$work"
options=(-G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release -DTARVEX_LAYER_ONLY=ON
    "-DCMAKE_C_COMPILER=$(cached CMAKE_C_COMPILER "$build")"
    "-DCMAKE_CXX_COMPILER=$(cached CMAKE_CXX_COMPILER "$build")")
launcher=$(cached CMAKE_CXX_COMPILER_LAUNCHER "$build")
if [[ -n $launcher ]]; then
    options+=("-DCMAKE_C_COMPILER_LAUNCHER=$launcher" "-DCMAKE_CXX_COMPILER_LAUNCHER=$launcher")
fi
echo "-- configure with Unix Makefiles"
cmake -S "$source" -B "$work" "${options[@]}" >"$work.configure.out" 2>&1 ||
    fail "configure: $(cat "$work.configure.out")"
echo "-- cmake --build --target tarvex_manual_pages"
cmake --build "$work" --target tarvex_manual_pages >"$work.build.out" 2>&1 ||
    fail "build: $(tail -n 30 "$work.build.out")"

# Configured without an SDK, the build is the stand-in flavour.
tools=(tarvex-check tarvex-mocap-sim)
for tool in "${tools[@]}"; do
    page=$work/install/man/$tool.1.gz
    [[ -f $page ]] || fail "no manual page $page"
    text=$(gzip -dc "$page")
    # .TH NAME SECTION DATE SOURCE MANUAL: the footer man shows; SOURCE is the version line.
    th=$(grep -m 1 '^\.TH ' <<<"$text")
    [[ $th =~ ^\.TH\ [^\ ]+\ \"1\"\ \"[A-Z][a-z]+\ [0-9]{4}\"\ \"$tool\ $version\"\ \"User\ Commands\"$ ]] ||
        fail "$tool.1: the title line is '$th'"
    for part in '.SH "SEE ALSO"' README.md tarvex_tracking.log '.SH BUILD' 'Build flavour: stand-in client library'; do
        grep -qF -- "$part" <<<"$text" || fail "$tool.1 lacks '$part':"$'\n'"$text"
    done
done
echo "the plain build with Unix Makefiles made the manual pages: ${tools[*]}"
