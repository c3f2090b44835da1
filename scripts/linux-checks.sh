#!/usr/bin/env bash
# The Linux checks on the system it runs on: installs what building and testing Korvex needs,
# builds everything in build/ with warnings as errors, then runs every check without a
# display of your own: the test suite (the end-to-end tests bring their own X server), the
# formatting check, the suite again under AddressSanitizer and UndefinedBehaviorSanitizer,
# the fuzzers, the coverage report and the Debian package check. What the releases are
# compared by (the end-to-end tests' screenshots and the places of the controls) and the
# package go to build-releases/<release's code name>/.
#
# usage: linux-checks.sh
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
# A tool run as root that replaces its output file would have replaced the machine's /dev/null.
[[ -c /dev/null ]] || { echo "the checks left /dev/null a $(stat -c %F /dev/null)" >&2; exit 1; }

release=build-releases/$(. /etc/os-release && echo "$VERSION_CODENAME")
rm -rf "$release"
mkdir -p "$release"
cp build/tests/e2e/screenshots/{main-window,output-window,about-window}.png \
    build/tests/e2e/screenshots/controls.txt build-package/korvex_1.1.1-1_amd64.deb "$release/"
