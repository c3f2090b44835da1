#!/usr/bin/env bash
# Builds Korvex for arm64 in Debian 13, the way Debian cross-builds, and tests it there under
# qemu-user: installs what it needs and is missing (scripts/setup.sh --arm64), then
#   1. builds the Debian package for arm64 from the tracked files with dpkg-buildpackage -a
#      arm64 and the cross and nocheck build profiles, and fails unless lintian finds nothing
#      in it and every compile carried arm64's hardening flags and none that arm64 lacks;
#   2. cross-builds the CMake tree with its tests in build-arm64/ (cmake/aarch64-linux-gnu.cmake)
#      and runs every test with CTest under qemu-aarch64: the Qt Test suites on the offscreen
#      platform, the end-to-end and the accessibility test on Xvfb under openbox;
#   3. compares the three windows and the places of their controls with amd64's
#      (tests/releases/compare.sh), and prints how many pixels of each window differ.
# The screenshots, the places of the controls and the package go to build-releases/trixie-arm64/;
# scripts/test.sh then runs the package's own tests on it in an arm64 Debian 13 testbed
# (packaging/autopkgtest.sh).
#
# Every arm64 program is started through qemu-aarch64 here, so the kernel needs no handler for
# them. On any other system the script runs itself in the Debian 13 system of
# scripts/debian13.sh, where build-arm64/ is the system's own.
#
# It adds the seconds and CPU seconds of each of its stages to the file KORVEX_TIMES names, if
# any.
#
# usage: arm64.sh [AMD64_FOLDER]
#   AMD64_FOLDER: what Debian 13's amd64 end-to-end tests left, to compare with: by default
#   build-releases/trixie/, which scripts/linux-checks.sh run in Debian 13 fills.
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ $(. /etc/os-release && echo "$VERSION_CODENAME") != trixie ]]; then
    # The folder is passed into the Debian 13 system as a path inside the tree.
    folder=()
    if (($#)); then
        folder=("$(realpath --relative-to=. "$1")")
        [[ ${folder[0]} != ../* ]] || { echo "FAIL: $1 is not inside the tree" >&2; exit 1; }
    fi
    exec scripts/debian13.sh scripts/arm64.sh "${folder[@]}"
fi
# shellcheck source=scripts/stages.sh
source scripts/stages.sh
started=$SECONDS
children_cpu cpu_before
amd64=${1:-build-releases/trixie}
out="build-releases/trixie-arm64"
build="build-arm64"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

for file in main-window.png output-window.png about-window.png controls.txt; do
    [[ -f $amd64/$file ]] || fail "no $amd64/$file to compare with; scripts/debian13.sh" \
        "scripts/linux-checks.sh leaves the amd64 windows in build-releases/trixie/"
done

work=""
cleanup() {
    local status=$?
    if [[ -n $work ]]; then rm -rf --one-file-system "$work"; fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 143' INT TERM HUP

timed "arm64: packages" scripts/setup.sh --arm64
work=$(mktemp -d "${TMPDIR:-/var/tmp}/korvex-arm64.XXXXXX")
version=$(dpkg-parsechangelog -S Version)
deb=korvex_${version}_arm64.deb

# The package, built as Debian's cross-building builds it, from a copy of the tracked files.
package() {
    copy_tree "$work/korvex"
    echo "== dpkg-buildpackage -a arm64 -Pcross,nocheck"
    (cd "$work/korvex" && DEB_BUILD_OPTIONS=nocheck \
        dpkg-buildpackage -a arm64 -Pcross,nocheck -b -us -uc >"$work/build.log" 2>&1) \
        || { tail -n 40 "$work/build.log"; fail "dpkg-buildpackage -a arm64 failed"; }
    [[ -f $work/$deb ]] || fail "expected $deb, got: $(ls "$work")"

    echo "== lintian --pedantic --display-info on the arm64 package"
    lintian --pedantic --display-info --display-experimental \
        "$work/korvex_${version}_arm64.changes" >"$work/lintian.txt" 2>&1 || true
    # Root is warned that lintian would rather not run as root; that is no finding.
    grep -v 'running with root privileges is not recommended' "$work/lintian.txt" \
        >"$work/findings.txt" || true
    if [[ -s $work/findings.txt ]]; then
        cat "$work/findings.txt"
        fail "lintian reports tags on the arm64 package"
    fi
    echo "lintian: no tags"

    echo "== arm64's hardening flags on every compile and link of the program"
    local commands flag
    commands=$(grep -E '/usr/bin/aarch64-linux-gnu-g\+\+ .*(-c |-o app/korvex )' "$work/build.log")
    [[ -n $commands ]] || fail "no arm64 compiler command found in the build log"
    for flag in -D_FORTIFY_SOURCE=2 -fstack-protector-strong -fstack-clash-protection \
        -mbranch-protection=standard -ffile-prefix-map=; do
        if grep -vqF -- "$flag" <<<"$commands"; then
            fail "a compiler command lacks $flag: $(grep -vF -- "$flag" <<<"$commands" | head -1)"
        fi
    done
    # x86's control-flow protection, which GCC for arm64 refuses.
    if grep -qF -- -fcf-protection <<<"$commands"; then
        fail "a compiler command asks for -fcf-protection: $(grep -F -- -fcf-protection \
            <<<"$commands" | head -1)"
    fi
    # Branch protection holds only when every object of the program has it, the C start files
    # too; where they have it, the program must be marked.
    dpkg-deb -x "$work/$deb" "$work/tree"
    if readelf -n "$(aarch64-linux-gnu-gcc -print-file-name=crt1.o)" | grep -q 'BTI, PAC'; then
        readelf -n "$work/tree/usr/bin/korvex" | grep -q 'AArch64 feature: BTI, PAC' \
            || fail "/usr/bin/korvex is not marked for BTI and PAC: $(readelf -n \
                "$work/tree/usr/bin/korvex" | grep -i feature)"
    fi
    echo "every compile had them, and the program is marked for branch protection"
}
timed "arm64: Debian package" package

# The CMake tree with its tests, every arm64 program started through the emulator; under
# CI=true a test that lacks a tool fails rather than being skipped.
tests() {
    use_compiler_cache
    cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
        -DKORVEX_WARNINGS_AS_ERRORS=ON \
        "-DCMAKE_CROSSCOMPILING_EMULATOR=qemu-aarch64;-L;/" "${compiler_cache[@]}"
    cmake --build "$build"
    CI=true QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure
}
timed "arm64: cross build and tests under qemu-user" tests

rm -rf "$out"
mkdir -p "$out"
cp "$build"/tests/e2e/screenshots/{main-window,output-window,about-window}.png \
    "$build"/tests/e2e/screenshots/controls.txt "$work/$deb" "$out/"
timed "arm64: windows compared with amd64" tests/releases/compare.sh "$amd64" "$out"

echo "arm64 checks passed in $((SECONDS - started)) s; the windows and the package are in $out/"
children_cpu cpu_after
record "arm64: the whole run" $((SECONDS - started)) $((cpu_after - cpu_before))
