#!/usr/bin/env bash
# Installs, with apt, what Korvex needs and is missing: the packages that build and run it,
# and with --test also the tools of the test suite and the package check.
#
# usage: setup.sh [--test]
set -euo pipefail

build_packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    librsvg2-bin icoutils
    fonts-liberation fonts-crosextra-carlito
)

test_packages=(
    # end-to-end tests under a window manager, screenshots
    xvfb openbox xdotool x11-utils imagemagick
    # sanitizers, fuzzing, coverage
    clang-14 libclang-rt-14-dev gcovr
    # the Debian package and its check
    desktop-file-utils appstream appstream-compose dpkg-dev debhelper fakeroot lintian devscripts
    # the accessibility check: the AT-SPI bus and client, and Orca
    at-spi2-core python3-pyatspi orca dbus-daemon dbus-bin procps
    # the start-up benchmark's window watcher
    libx11-dev libxdamage-dev
)

packages=("${build_packages[@]}")
if [[ ${1:-} == --test ]]; then packages+=("${test_packages[@]}"); fi

# One dpkg-query for all of them, so that a machine with everything in place goes on at once.
installed=$(dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' "${packages[@]}" 2>/dev/null \
    | awk '$1 == "ii" { print $2 }') || true
missing=()
for package in "${packages[@]}"; do
    grep -qxF "$package" <<<"$installed" || missing+=("$package")
done

if ((${#missing[@]})); then
    sudo=()
    if ((EUID != 0)); then sudo=(sudo); fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        -o DPkg::Lock::Timeout=900 "${missing[@]}"
fi
