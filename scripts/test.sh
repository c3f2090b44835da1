#!/usr/bin/env bash
# Runs every check of Korvex without a display of your own, on each system it is built for:
#   1. the Linux checks on this machine (scripts/linux-checks.sh; Debian 12 here);
#   2. beside them, in a clean Debian 13 system (scripts/debian13.sh), what can fail there
#      when it passed here (scripts/linux-checks.sh --second-release), then the arm64 build
#      with its tests under qemu-user (scripts/arm64.sh);
#   3. beside both, in a Debian 13 system of its own, the Windows build with its tests under
#      Wine (scripts/windows.sh);
#   4. the two releases side by side: the windows' screenshots and the places of their
#      controls (tests/releases/compare.sh);
#   5. the package's own tests (debian/tests) as Debian's CI runs them, with autopkgtest in
#      throwaway testbeds made from Debian's archive (packaging/autopkgtest.sh): Debian 13's
#      package on Debian 13 for amd64 and, under qemu-user, for arm64 (the start test alone
#      there), and the package built here on Debian 13. (This release's package on this
#      release is tested by step 1's package check, with reprotest's second build.) Their
#      summary lines are printed.
# The first three run at once: each waits on apt, X servers, emulators and Wine often enough
# for the others to use the cores meanwhile; 4 and 5 start when 1 and 2 have ended, while 3
# goes on. The output of the two Debian 13 systems goes to build-times/debian13.log and
# build-times/windows.log, and is shown when they end. The run ends with a table of the wall
# and CPU seconds each stage took, the Qt build's among them when it ran, and the CPU time of
# the whole run.
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
    local status=$? cpu
    children_cpu cpu
    echo "=== seconds per stage: wall time, and the CPU time (user + system) of its processes"
    printf '%-56s %7s %7s\n' stage wall CPU
    awk -F '\t' '{ printf "%-56s %7d %7.1f\n", $1, $2, $3 }' "$KORVEX_TIMES"
    printf '%-56s %7d %7s  (%d CPU-minutes)\n' \
        "the whole run$( ((status == 0)) || echo " (FAILED)")" "$SECONDS" "$(seconds "$cpu")" \
        $(((cpu + 3000) / 6000))
    exit "$status"
}
trap table EXIT

# beside NAME LOG LABEL COMMAND...: runs the command in a Debian 13 system of its own, in the
# background, its output going to build-times/LOG; sets `job` to "PROCESS:LOG".
beside() {
    local name=$1 log=$2 label=$3
    shift 3
    echo "=== in Debian 13, beside the other checks: $name (output in build-times/$log)"
    timed "$label" scripts/debian13.sh "$@" >"build-times/$log" 2>&1 &
    job=$!:$log
}
# stage LABEL COMMAND...: `timed`, in a subshell. This shell counts a job's CPU time when the job
# ends, within whatever stage is running then; the subshell counts its own command's alone.
stage() { (timed "$@"); }
# finish JOB...: waits for each job, shows its output, and records in `status` when one failed.
finish() {
    local job
    for job; do
        echo "=== waiting for build-times/${job#*:}"
        wait "${job%%:*}" || status=$?
        echo "=== build-times/${job#*:}"
        cat "build-times/${job#*:}"
    done
}
# What can fail on the second release, then the arm64 build, compared with that release's
# amd64 windows.
beside "the second release's checks and the arm64 build" debian13.log \
    "Debian 13: the second release and arm64" bash -c "source scripts/stages.sh &&
    timed 'Debian 13: linux-checks.sh --second-release' scripts/linux-checks.sh --second-release &&
    scripts/arm64.sh"
second_release=$job
windows=()
if [[ ${1:-} != --linux ]]; then
    beside "the Windows build and its tests" windows.log "Debian 13: windows.sh" \
        scripts/windows.sh
    windows=("$job")
fi

status=0
echo "=== the Linux checks on this machine ($here)"
stage "$here: the whole run" scripts/linux-checks.sh || status=$?

# While the Debian 13 checks run, the testbeds for the package's tests are made here, when the
# cache has none younger than a week.
testbeds=()
if ((status == 0)); then
    echo "=== the Debian 13 testbeds for the package's tests (output in build-times/testbeds.log)"
    (packaging/autopkgtest.sh --testbed trixie "$(dpkg --print-architecture)" \
        && packaging/autopkgtest.sh --testbed trixie arm64 start) >build-times/testbeds.log 2>&1 &
    testbeds=("$!:testbeds.log")
fi

# The rest needs the Debian 13 packages, not the Windows build, which goes on meanwhile.
finish "$second_release" "${testbeds[@]}"
if ((status == 0)); then
    echo "=== $here and Debian 13 side by side"
    stage "$here and Debian 13 compared" tests/releases/compare.sh "build-releases/$here" \
        build-releases/trixie || status=$?
fi
if ((status == 0)); then
    echo "=== the package's own tests in throwaway Debian 13 testbeds"
    arch=$(dpkg --print-architecture)
    stage "autopkgtest: Debian 13 $arch" packaging/autopkgtest.sh trixie "$arch" \
        build-releases/trixie/korvex_*_"$arch".deb "trixie-$arch" || status=$?
    stage "autopkgtest: the $here package on Debian 13" packaging/autopkgtest.sh trixie \
        "$arch" "build-releases/$here"/korvex_*_"$arch".deb "$here-on-trixie" || status=$?
    # On arm64 the story would take eight minutes more under the emulator, and
    # scripts/arm64.sh has just gone through it with the same sources under qemu-user: the
    # package is only started.
    stage "autopkgtest: Debian 13 arm64, under qemu-user" packaging/autopkgtest.sh trixie \
        arm64 build-releases/trixie-arm64/korvex_*_arm64.deb trixie-arm64 start || status=$?
fi
finish "${windows[@]}"
((status == 0)) || exit "$status"
echo "=== all checks passed"
