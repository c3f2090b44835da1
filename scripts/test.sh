#!/usr/bin/env bash
# Runs every check of Korvex without a display of your own, on each system it is built for:
#   1. the Linux checks on this machine (scripts/linux-checks.sh; Debian 12 here);
#   2. beside them, in a clean Debian 13 system (scripts/debian13.sh), what can fail there
#      when it passed here (scripts/linux-checks.sh --second-release), after the Windows build
#      with its tests under Wine (scripts/windows.sh);
#   3. the two releases side by side: the windows' screenshots and the places of their
#      controls (tests/releases/compare.sh), and the package built here installed and started
#      there (packaging/check_package.sh --install-only).
# The two systems' checks run at once: each waits on apt, X servers and Wine often enough for
# the other to use the cores meanwhile. The Debian 13 system's output goes to
# build-times/debian13.log, and is shown when it ends. The run ends with a table of the
# seconds each stage took, the Qt build's among them when it ran.
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

debian13=("scripts/linux-checks.sh --second-release")
# The Windows build first: its Qt, when it has to be built, is the longest stage of all.
if [[ ${1:-} != --linux ]]; then
    debian13=(scripts/windows.sh "${debian13[@]}")
fi
echo "=== the Debian 13 checks, beside this machine's: ${debian13[*]}"
second_release() {
    local commands="source scripts/stages.sh" command
    for command in "${debian13[@]}"; do
        commands+=" && timed 'Debian 13: ${command#scripts/}' $command"
    done
    timed "Debian 13: the whole system's run" scripts/debian13.sh bash -c "$commands"
}
second_release >build-times/debian13.log 2>&1 &
second=$!

echo "=== the Linux checks on this machine ($here)"
status=0
timed "$here: the whole run" scripts/linux-checks.sh || status=$?

echo "=== waiting for the Debian 13 checks"
wait "$second" || status=$?
echo "=== the Debian 13 checks' output"
cat build-times/debian13.log
((status == 0)) || exit "$status"

echo "=== $here and Debian 13 side by side"
timed "$here and Debian 13 compared" tests/releases/compare.sh "build-releases/$here" \
    build-releases/trixie
deb=$(ls "build-releases/$here"/korvex_*_"$(dpkg --print-architecture)".deb)
timed "the $here package on Debian 13" scripts/debian13.sh \
    packaging/check_package.sh --install-only "$deb"
echo "=== all checks passed"
