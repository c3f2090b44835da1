#!/usr/bin/env bash
# Installs what building and testing Korvex needs, builds everything in build/ with warnings
# as errors, then runs every check without a display of your own: the test suite (the
# end-to-end test brings its own X server), the formatting check, the suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer, the fuzzers, the coverage report, the
# Debian package check, and then the Windows build with its tests under Wine
# (scripts/windows.sh). With --linux, everything but the Windows build.
#
# usage: test.sh [--linux]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEX_WARNINGS_AS_ERRORS=ON
cmake --build build
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure
scripts/check-format.sh
scripts/sanitize.sh
scripts/fuzz.sh
scripts/coverage.sh
packaging/check_package.sh
if [[ ${1:-} != --linux ]]; then
    scripts/windows.sh
fi
