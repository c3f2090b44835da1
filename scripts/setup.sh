#!/usr/bin/env bash
# Installs, with apt, what Korvex needs and is missing: the packages that build and run it,
# with --test also the tools of the test suite and the package check, and with --windows
# what the Windows build, its tests and its installer need.
#
# With --debian13 it installs only what making the Debian 13 system of scripts/debian13.sh
# needs, and with --try-package only what packaging/check_package.sh --install-only needs.
#
# usage: setup.sh [--test | --windows | --debian13 | --try-package]
set -euo pipefail

build_packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    librsvg2-bin icoutils
    fonts-liberation fonts-crosextra-carlito
)

test_packages=(
    # end-to-end tests under a window manager, screenshots, a dark desktop theme
    xvfb openbox xdotool x11-utils imagemagick qt6-gtk-platformtheme
    # formatting, sanitizers, fuzzing, coverage
    clang clang-format libclang-rt-dev gcovr
    # the Debian package and its check
    git build-essential desktop-file-utils appstream appstream-compose librsvg2-common dpkg-dev
    debhelper fakeroot lintian devscripts
    # the accessibility check: the AT-SPI bus and client, and Orca
    at-spi2-core python3-pyatspi orca dbus-daemon dbus-bin procps
    # the start-up benchmark's window watcher
    libx11-dev libxdamage-dev
)

windows_packages=(
    # the cross compiler, and the source of the Qt it builds (dpkg-source)
    g++-mingw-w64-x86-64-posix dpkg-dev
    # a Windows to run the tests on, with the font the windows are laid out with
    wine wine64 fonts-wine
    # the installer, built reproducibly
    wixl msitools faketime
    # the end-to-end test under Wine
    xvfb openbox xdotool x11-utils imagemagick
)

# what starting an installed package needs, for packaging/check_package.sh --install-only
try_package_packages=(xvfb xdotool)

debian13_packages=(
    # a Debian 13 system made from Debian's archive, for the checks on that release
    mmdebstrap
)

packages=("${build_packages[@]}")
case ${1:-} in
--test) packages+=("${test_packages[@]}") ;;
--windows) packages+=("${windows_packages[@]}") ;;
--debian13) packages=("${debian13_packages[@]}") ;;
--try-package) packages=("${try_package_packages[@]}") ;;
esac

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
