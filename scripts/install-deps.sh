#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, skipping those already present.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    libopenxr-dev libopenxr-loader1 openxr-layer-corevalidation
    g++-mingw-w64-x86-64 wine wine64
    libcli11-dev nlohmann-json3-dev
    libopenxr-utils mesa-vulkan-drivers libvulkan-dev libpng-dev
    dpkg-dev fakeroot lintian help2man ccache iproute2
    openxr-layer-apidump xvfb x11-apps netpbm
    glslang-tools libeigen3-dev libudev-dev libcjson-dev libbsd-dev zlib1g-dev
    libx11-dev libx11-xcb-dev libxcb-randr0-dev libxrandr-dev libglvnd-dev
    libgl-dev libjsoncpp-dev libxcb-dri2-0-dev libxcb-glx0-dev libxcb-icccm4-dev
    libxcb-keysyms1-dev libxxf86vm-dev python3-jinja2 python3-pyparsing
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} > 0)); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
fi
