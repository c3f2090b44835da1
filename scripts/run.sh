#!/usr/bin/env bash
# Installs what building Korvex needs, builds the program alone as a Release build in
# build-run/ and starts it. With everything in place and built, it starts the window at once.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

build=build-run
if [[ ! -f $build/build.ninja ]]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
        -DKORVEX_WARNINGS_AS_ERRORS=OFF
fi
# Ninja re-runs CMake itself when a CMakeLists.txt changed; its dry run costs milliseconds.
if grep -q '^\[' <<<"$(ninja -C "$build" -n korvex)"; then
    ninja -C "$build" korvex
fi
exec "$build"/app/korvex "$@"
