#!/usr/bin/env bash
# Installs what is missing, builds every flavour and runs every test, timing each phase; the last
# lines printed are the time of each phase and the total.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/phase-times.sh
# The flavours compile through ccache (installed below) with its cache in the user's cache
# folder; paths relative to the checkout let another clone on this machine reuse it.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1

phase "packages"
scripts/install-deps.sh
# The OpenXR SDK 1.1.47 (its loader, hello_xr and core validation), built from Debian's source and
# cached; the end-to-end tests of every flavour below run through its loader as well as Debian
# 12's. Without it those runs fail, saying why.
phase "OpenXR SDK 1.1.47 (built once, then cached)"
scripts/build-openxr-sdk.sh ||
    echo "the OpenXR SDK 1.1.47 was not built: the end-to-end runs through it will fail"

jobs=$(nproc)
# Most tests wait on servers, child processes and timers rather than on the processor: twice as
# many at once as there are cores keeps the cores busy.
test_jobs=$((2 * jobs))

configure_and_build() {
    local preset=$1
    shift
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs" "$@"
}

phase "fuzz: build (clang, ASan+UBSan)"
configure_and_build fuzz
phase "fuzz: fuzzing the INI reader"
ctest --preset fuzz
grep -hE "^Done [0-9]+ runs" build/fuzz/Testing/Temporary/LastTest.log || true

phase "tsan: build (ThreadSanitizer)"
configure_and_build tsan
phase "tsan: tests"
ctest --preset tsan -j "$test_jobs"

phase "asan: build (AddressSanitizer and UndefinedBehaviorSanitizer)"
configure_and_build asan
phase "asan: tests"
ctest --preset asan -j "$test_jobs"

# The Windows layer test talks to the Linux simulator, which comes from the main build.
phase "windows: the simulator from the main build"
cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs" --target tarvex-mocap-sim
# The Windows OpenXR loaders 1.0.20 and 1.1.47 that the end-to-end runs go through, built from
# Debian's sources and cached. Without 1.0.20 the windows preset builds no demo; the chain tests of
# a missing loader fail, saying why.
phase "windows: OpenXR loaders 1.0.20 and 1.1.47 (built once, then cached)"
scripts/build-windows-loader.sh ||
    echo "a Windows OpenXR loader was not built: its Windows end-to-end tests will fail"
phase "windows: build (MinGW-w64)"
configure_and_build windows
phase "windows: tests under Wine"
scripts/with-wine.sh ctest --preset windows -j "$test_jobs"

# Monado, the real OpenXR runtime of the Monado end-to-end tests, built from Debian's source and
# cached. Without it those tests fail, saying why.
phase "main: Monado (built once, then cached)"
scripts/build-monado.sh || echo "Monado was not built: the Monado end-to-end tests will fail"
phase "main: build"
configure_and_build default
phase "main: tests"
ctest --preset default -j "$test_jobs"
