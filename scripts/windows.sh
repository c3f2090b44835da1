#!/usr/bin/env bash
# Builds Korvex for Windows in Debian 13 and tests it under Debian 13's Wine: installs what it
# needs and is missing, builds the static Qt for Windows once from Debian 13's Qt 6.8 LTS
# (scripts/windows-qt.sh, kept in a cache outside the clone), cross-builds korvex.exe, its
# tests and the installer korvex-<version>-x64.msi in build-windows/, and runs the Windows
# tests there. On any other system it runs itself in the Debian 13 system of
# scripts/debian13.sh, where build-windows/ is the system's own.
#
# usage: windows.sh [--no-tests]
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ $(. /etc/os-release && echo "$VERSION_CODENAME") != trixie ]]; then
    # The commit's time, which the build stamps into the program, comes from here: the
    # Debian 13 system has no git of its own.
    SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)} \
        exec scripts/debian13.sh scripts/windows.sh "$@"
fi
# shellcheck source=scripts/stages.sh
source scripts/stages.sh
scripts/setup.sh --windows
qt=$(scripts/windows-qt.sh)

build=build-windows
# The resource compiler stamps the pictures with this time rather than their files', so that
# two builds of one commit give the same korvex.exe.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
# Debian's Qt leaves its plugins' CMake packages out unless asked, as its shared Qt loads them
# at run time; the static one links them, the platform plugin among them.
use_compiler_cache
"$qt/bin/qt-cmake" -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DKORVEX_WARNINGS_AS_ERRORS=ON -DCMAKE_CROSSCOMPILING_EMULATOR=wine \
    -DQT_SKIP_AUTO_PLUGIN_INCLUSION=OFF "${compiler_cache[@]}"
timed "korvex.exe, its tests and its installer built" cmake --build "$build"
size=$(stat -c %s "$build/korvex.exe")
echo "korvex.exe: $size bytes"

if [[ ${1:-} != --no-tests ]]; then
    timed "the Windows tests under Wine" ctest --test-dir "$build" --output-on-failure
fi
