#!/usr/bin/env bash
# Runs every check of Korvex without a display of your own, on each system it is built for:
#   1. the Linux checks on this machine (scripts/linux-checks.sh; Debian 12 here);
#   2. then, in a clean Debian 13 system (scripts/debian13.sh), what can fail there when it
#      passed here (scripts/linux-checks.sh --second-release), and the arm64 build with its
#      tests under qemu-user (scripts/arm64.sh);
#   3. beside both, from the start, in a Debian 13 system of its own, the Windows build with
#      its tests under Wine (scripts/windows.sh);
#   4. the two releases side by side: the windows' screenshots and the places of their
#      controls (tests/releases/compare.sh), and the package built here installed and started
#      there (packaging/check_package.sh --install-only).
# The Windows build waits on apt, Wine and X servers often enough for the other checks to use
# the cores meanwhile. Its output goes to build-times/windows.log, and is shown when it ends.
# The run ends with a table of the seconds each stage took, the Qt build's among them when it
# ran.
#
# With --linux, everything but the Windows build. To check one release alone, run
# scripts/linux-checks.sh here, or scripts/debian13.sh scripts/linux-checks.sh.
#
# usage: test.sh [--linux]
set -euo pipefail
cd "$(dirname "$0")/.."
here=$(. /etc/os-release && echo "$VERSION_CODENAME")
# shellcheck source=scripts/stages.sh
source scripts/stages.sh

mkdir -p build-times
export KORVEX_TIMES=$PWD/build-times/stages.tsv
: >"$KORVEX_TIMES"
table() {
    local status=$?
    echo "=== seconds per stage"
    awk -F '\t' '{ printf "%-56s %6d\n", $1, $2 }' "$KORVEX_TIMES"
    printf '%-56s %6d\n' "the whole run$( ((status == 0)) || echo " (FAILED)")" "$SECONDS"
    exit "$status"
}
trap table EXIT

# The Windows build in a Debian 13 system of its own, beside everything else: its Qt, when it
# has to be built, is the longest stage of all.
windows=""
if [[ ${1:-} != --linux ]]; then
    echo "=== the Windows build and its tests, in Debian 13 beside the other checks"
    timed "Debian 13: windows.sh" scripts/debian13.sh scripts/windows.sh \
        >build-times/windows.log 2>&1 &
    windows=$!
fi

status=0
echo "=== the Linux checks on this machine ($here)"
timed "$here: the whole run" scripts/linux-checks.sh || status=$?

# Then what can fail on the second release, and the arm64 build compared with its amd64
# windows, in a second Debian 13 system.
echo "=== the Debian 13 checks and the arm64 build"
timed "Debian 13: the second release and arm64" scripts/debian13.sh bash -c \
    "source scripts/stages.sh &&
    timed 'Debian 13: linux-checks.sh --second-release' scripts/linux-checks.sh --second-release &&
    scripts/arm64.sh" || status=$?

if [[ -n $windows ]]; then
    echo "=== waiting for the Windows build and its tests"
    wait "$windows" || status=$?
    echo "=== the Windows build's output"
    cat build-times/windows.log
fi
((status == 0)) || exit "$status"

echo "=== $here and Debian 13 side by side"
timed "$here and Debian 13 compared" tests/releases/compare.sh "build-releases/$here" \
    build-releases/trixie
deb=$(ls "build-releases/$here"/korvex_*_"$(dpkg --print-architecture)".deb)
timed "the $here package on Debian 13" scripts/debian13.sh \
    packaging/check_package.sh --install-only "$deb"
echo "=== all checks passed"
