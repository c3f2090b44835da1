#!/usr/bin/env bash
# The Linux checks on the system it runs on: installs what building and testing Korvex needs,
# builds everything in build/ with warnings as errors, then runs every check without a
# display of your own: the test suite (the end-to-end tests bring their own X server), the
# formatting check, the suite again under AddressSanitizer and UndefinedBehaviorSanitizer
# (counting coverage as it runs), the fuzzers, the coverage report of that run and the Debian
# package check, with reprotest and the package's own tests under autopkgtest. What the
# releases are
# compared by (the end-to-end tests' screenshots and the places of the controls) and the
# package go to build-releases/<release's code name>/.
#
# With --second-release, only what can fail on this release when it passed on the first one:
# the build with this compiler, the suite and the sanitizers on this Qt, the fuzzers built with
# this clang over their seeds, and the package built once with this debhelper and checked by
# this lintian. The formatting and the coverage report read the same sources on any release,
# the fuzzers' long search runs the same code, and a package that builds reproducibly here
# builds so there. (scripts/test.sh runs that package's own tests from the first release's
# machine: autopkgtest's testbeds cannot be made inside scripts/debian13.sh's system.)
#
# usage: linux-checks.sh [--second-release]
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/stages.sh
source scripts/stages.sh
second=false
if [[ ${1:-} == --second-release ]]; then second=true; fi
release=$(. /etc/os-release && echo "$VERSION_CODENAME")

# The package's own tests and the reproducibility check run on the first release alone.
setup=(--test)
$second || setup+=(--package-check)
timed "$release: packages" scripts/setup.sh "${setup[@]}"
# Line tables are all that a failing test's stack needs of the debugging information.
build() {
    use_compiler_cache
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
        -DKORVEX_WARNINGS_AS_ERRORS=ON "${compiler_cache[@]}"
    cmake --build build
}
timed "$release: build" build
timed "$release: test suite" env QT_QPA_PLATFORM=offscreen \
    ctest --test-dir build --output-on-failure
if ! $second; then timed "$release: formatting" scripts/check-format.sh; fi
if $second; then
    timed "$release: sanitizers" scripts/sanitize.sh
    timed "$release: fuzzers over their seeds" scripts/fuzz.sh --seeds-only
    timed "$release: package" packaging/check_package.sh --once
else
    timed "$release: sanitizers, counting coverage" scripts/sanitize.sh --coverage
    timed "$release: fuzzers" scripts/fuzz.sh
    timed "$release: coverage" scripts/coverage.sh
    timed "$release: package" packaging/check_package.sh
fi
# A tool run as root that replaces its output file would have replaced the machine's /dev/null.
[[ -c /dev/null ]] || { echo "the checks left /dev/null a $(stat -c %F /dev/null)" >&2; exit 1; }

out=build-releases/$release
rm -rf "$out"
mkdir -p "$out"
cp build/tests/e2e/screenshots/{main-window,output-window,about-window}.png \
    build/tests/e2e/screenshots/controls.txt \
    build-package/korvex_*_"$(dpkg --print-architecture)".deb "$out/"
