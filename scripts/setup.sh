#!/usr/bin/env bash
# Installs what Korvex needs to build and test (only what is missing), then configures and
# builds it in build/. Used by run.sh and test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    fonts-liberation fonts-crosextra-carlito
    # end-to-end tests, screenshots, sanitizers, fuzzing, coverage, packaging checks
    xvfb xdotool x11-utils imagemagick
    clang-14 libclang-rt-14-dev gcovr
    desktop-file-utils appstream dpkg-dev file
    # the start-up benchmark's window watcher and its private session bus
    libx11-dev libxdamage-dev dbus-daemon
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if ((${#missing[@]})); then
    sudo=()
    if ((EUID != 0)); then sudo=(sudo); fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEX_WARNINGS_AS_ERRORS=ON
cmake --build build
