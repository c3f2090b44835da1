#!/usr/bin/env bash
# Installs, with apt, what Korvex needs and is missing: the packages that build and run it,
# with --test also the tools of the test suite and the package check, with --windows what
# the Windows build, its tests and its installer need, and with --arm64 what the arm64 build
# of scripts/arm64.sh and its tests under qemu-user need: dpkg learns the arm64 architecture,
# and the package's build-dependencies for arm64 (debian/control, cross-building) come too;
# with --package-check what packaging/autopkgtest.sh and the reproducibility check of
# packaging/check_package.sh run: autopkgtest with its testbeds, qemu-user-static, reprotest.
# Several of these may be given at once, and are installed in one go.
#
# With --debian13 it installs only what making the Debian 13 system of scripts/debian13.sh
# needs.
#
# usage: setup.sh [--test] [--windows] [--arm64] [--package-check] | --debian13
set -euo pipefail
tree=$(cd "$(dirname "$0")/.." && pwd)

build_packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    librsvg2-bin icoutils
    fonts-liberation fonts-crosextra-carlito
)

test_packages=(
    # end-to-end tests under a window manager, screenshots, a dark desktop theme
    xvfb openbox xdotool x11-utils imagemagick qt6-gtk-platformtheme
    # formatting, sanitizers, fuzzing, coverage, and the compiler cache of the tested builds
    clang clang-format libclang-rt-dev gcovr ccache
    # the Debian package and its check
    git build-essential desktop-file-utils appstream appstream-compose librsvg2-common dpkg-dev
    debhelper fakeroot lintian devscripts
    # the accessibility check: the AT-SPI bus and client, and Orca
    at-spi2-core python3-pyatspi orca dbus-daemon dbus-bin procps
    # the start-up benchmark's window watcher
    libx11-dev libxdamage-dev
)

windows_packages=(
    # the cross compiler and its cache, and the source of the Qt it builds (dpkg-source)
    g++-mingw-w64-x86-64-posix ccache dpkg-dev
    # a Windows to run the tests on, with the font the windows are laid out with
    wine wine64 fonts-wine
    # the installer, built reproducibly
    wixl msitools faketime
    # the end-to-end test under Wine, and its check of what UI Automation shows
    xvfb openbox xdotool x11-utils imagemagick python3
)

arm64_packages=(
    # the cross compiler, and the emulator that runs what it builds
    crossbuild-essential-arm64 qemu-user
    # the arm64 Qt beside this machine's tools, with the GTK theme of the dark desktop test
    qt6-base-dev:arm64 qt6-gtk-platformtheme:arm64
    # the Debian package for arm64 from the tracked files, and its check
    git dpkg-dev debhelper lintian
    # the compiler cache of the tested build
    ccache
    # the end-to-end tests, and the comparison of their screenshots with amd64's
    xvfb openbox xdotool x11-utils imagemagick python3
    # the accessibility test, which reads the places of the controls
    at-spi2-core python3-pyatspi orca dbus-daemon dbus-bin procps
)

package_check_packages=(
    # the package's own tests (debian/tests) in throwaway Debian systems made from Debian's
    # archive, arm64's under the emulator, as Debian's CI runs them
    autopkgtest mmdebstrap arch-test qemu-user-static
    # two builds of the package under different conditions, and what tells them apart
    reprotest diffoscope-minimal disorderfs faketime locales-all
)

debian13_packages=(
    # a Debian 13 system made from Debian's archive, for the checks on that release
    mmdebstrap
)

packages=("${build_packages[@]}") arm64=false
while (($#)); do
    case $1 in
    --test) packages+=("${test_packages[@]}") ;;
    --windows) packages+=("${windows_packages[@]}") ;;
    --arm64) packages+=("${arm64_packages[@]}") arm64=true ;;
    --package-check) packages+=("${package_check_packages[@]}") ;;
    --debian13) packages=("${debian13_packages[@]}") ;;
    *) echo "setup.sh: unknown option $1" >&2; exit 2 ;;
    esac
    shift
done

sudo=()
if ((EUID != 0)); then sudo=(sudo); fi

# apt_get ARGUMENT...: apt-get as root, one at a time. Two of Korvex's scripts may install at
# once (the checks of this machine beside the Windows build, or two Debian 13 systems of
# scripts/debian13.sh, which share their package folder), and apt fails at once on a lock
# that another apt holds; so each apt-get here waits, up to half an hour, for a lock in the
# package folder that the others take too.
apt_get() {
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" flock --wait 1800 \
        /var/cache/apt/archives/korvex-setup.lock \
        apt-get -o DPkg::Lock::Timeout=900 "$@"
}

refresh=false
if $arm64 && ! grep -qx arm64 <<<"$(dpkg --print-foreign-architectures)"; then
    echo "Adding the arm64 architecture to dpkg"
    "${sudo[@]}" dpkg --add-architecture arm64
    refresh=true
fi

# One dpkg-query for all of them, so that a machine with everything in place goes on at once.
# A name without an architecture is this machine's package or one for all architectures.
native=$(dpkg --print-architecture)
installed=$(dpkg-query -W -f='${db:Status-Abbrev} ${Package}:${Architecture}\n' "${packages[@]}" \
    2>/dev/null | awk '$1 == "ii" { print $2 }') || true
missing=()
for package in "${packages[@]}"; do
    if [[ $package == *:* ]]; then
        grep -qxF "$package" <<<"$installed" || missing+=("$package")
    else
        grep -qxF -e "$package:$native" -e "$package:all" <<<"$installed" || missing+=("$package")
    fi
done

# To look for what is missing.
if ((${#missing[@]})) || $refresh; then apt_get update -qq; fi
if ((${#missing[@]})); then
    mapfile -t missing < <(printf '%s\n' "${missing[@]}" | sort -u)
    echo "Installing: ${missing[*]}"
    apt_get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The package's own list of what building it for arm64 needs, as Debian cross-builds it.
if $arm64 \
    && ! dpkg-checkbuilddeps -a arm64 -P cross,nocheck "$tree/debian/control" 2>/dev/null; then
    echo "Installing the build-dependencies of the arm64 package"
    apt_get build-dep -y -qq --no-install-recommends -a arm64 -P cross,nocheck "$tree"
fi
