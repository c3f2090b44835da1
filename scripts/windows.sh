#!/usr/bin/env bash
# Builds Korvex for Windows on Debian 12 and tests it under Wine: installs what it needs and
# is missing, builds the static Qt for Windows once (scripts/windows-qt.sh, kept in a cache
# outside the clone), cross-builds korvex.exe, its tests and the installer
# korvex-<version>-x64.msi in build-windows/, and runs the Windows tests there.
#
# usage: windows.sh [--no-tests]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --windows
qt=$(scripts/windows-qt.sh)

build=build-windows
# The resource compiler stamps the pictures with this time rather than their files', so that
# two builds of one commit give the same korvex.exe.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
"$qt/bin/qt-cmake" -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DKORVEX_WARNINGS_AS_ERRORS=ON -DCMAKE_CROSSCOMPILING_EMULATOR=wine
cmake --build "$build"

if [[ ${1:-} != --no-tests ]]; then
    ctest --test-dir "$build" --output-on-failure
fi
