#!/usr/bin/env bash
# Builds the Debian package from a copy of the tree in a folder of its own, and fails unless
#   - reprotest builds it again with its default variations (another build folder and path,
#     time, time zone, umask, locale, home, number of CPUs, order of the files in a folder,
#     host and domain name, kernel version and the rest) and gets the same bytes; a difference
#     fails with diffoscope's account of it;
#   - lintian, pedantic and with info tags, reports nothing. Tags it would report and why
#     they stand: debian/korvex.lintian-overrides, with the reason beside each;
#   - every compiler command carried the hardening flags, and hardening-check passes on the
#     package's /usr/bin/korvex (see check_binary() below for the two checks it leaves to the
#     log);
#   - the desktop entry and the metainfo validate, and appstreamcli compose makes a
#     catalogue entry with icons, without an error or a warning;
#   - the package's own tests pass in a throwaway Debian system of this release and
#     architecture (packaging/autopkgtest.sh): installed there, /usr/bin/korvex shows its
#     window and goes through the end-to-end story.
# Nothing is installed on or removed from this machine. The packages are left in
# build-package/.
#
# With --once it builds the package once and checks that build alone: no second build, and
# no package tests, which cannot run inside scripts/debian13.sh's system (scripts/test.sh runs
# them for its package from this machine).
#
# usage: check_package.sh [--once]
set -euo pipefail
once=false
if [[ ${1:-} == --once ]]; then once=true; fi
cd "$(dirname "$0")/.."
source=$PWD
# shellcheck source=scripts/stages.sh
source scripts/stages.sh

tools=(dpkg-buildpackage dh lintian hardening-check desktop-file-validate appstreamcli fakeroot
    readelf)
$once || tools+=(reprotest diffoscope autopkgtest)
missing=()
for tool in "${tools[@]}"; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
[[ -x /usr/libexec/appstreamcli-compose ]] || missing+=(appstreamcli-compose)
if ((${#missing[@]})); then
    echo "FAIL: not installed: ${missing[*]} (scripts/setup.sh --test --package-check" \
        "installs them)" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'exit 143' INT TERM HUP

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# build FOLDER: copies the tree to FOLDER and builds the binary packages there, into FOLDER's
# parent. The tests ran before; nocheck skips them.
build() {
    local folder=$1
    copy_tree "$folder"
    echo "== dpkg-buildpackage in $folder"
    (cd "$folder" && DEB_BUILD_OPTIONS=nocheck dpkg-buildpackage -b -us -uc >"$folder.log" 2>&1) \
        || { tail -n 40 "$folder.log"; fail "dpkg-buildpackage failed in $folder"; }
}

# Debian's C start files carry no CET note, so the linker drops the IBT and SHSTK marks from
# every program (hardening-check /usr/bin/ls fails the same way); where the start files have
# the note, the program must have the marks. Korvex's only libc copy call is
# memmove inside Qt's QList code on a buffer of unknown size, which no _FORTIFY_SOURCE level
# can check. The build log shows that both flags were given.
check_binary() {
    local korvex=$1
    echo "== hardening-check /usr/bin/korvex"
    local ignored=(--nofortify)
    readelf -n "$(gcc -print-file-name=crt1.o)" | grep -q 'x86 feature: IBT' \
        || ignored+=(--nocfprotection)
    # Branch protection is AArch64's (BTI and PAC); later hardening-checks ask for it on
    # every architecture.
    if [[ $(dpkg --print-architecture) != arm64 ]] \
        && grep -q -- --nobranchprotection <<<"$(hardening-check --help 2>&1)"; then
        ignored+=(--nobranchprotection)
    fi
    hardening-check "${ignored[@]}" "$korvex" || fail "hardening-check fails"
    # The libraries all come from the system's folders; any search path of its own is one too
    # many.
    if readelf -d "$korvex" | grep -qE '\((RUNPATH|RPATH)\)'; then
        fail "/usr/bin/korvex has a library search path: $(readelf -d "$korvex" | grep PATH)"
    fi
}

# The package's name and version as debian/changelog gives them, for this architecture.
version=$(dpkg-parsechangelog -S Version)
arch=$(dpkg --print-architecture)
package=korvex_${version}_$arch
build "$work/first/korvex"
cd "$work/first"
[[ -f $package.deb && -f korvex-dbgsym_${package#korvex_}.deb ]] \
    || fail "expected $package.deb and its dbgsym package, got: $(ls)"
if ! $once; then
    # reprotest compares its build with this one: the packages, in a folder with the empty
    # source-root folder that it keeps beside its own.
    mkdir -p "$work/control/source-root"
    cp korvex_*.deb korvex-dbgsym_*.deb "$work/control/"
    copy_tree "$work/second/korvex"
    echo "== reprotest, with its default variations, against the build above"
    status=0
    timed "package: reprotest's second build" reprotest --control-build "$work/control" \
        --store-dir "$work/reprotest" \
        -c 'DEB_BUILD_OPTIONS=nocheck dpkg-buildpackage -b -us -uc' "$work/second/korvex" \
        '../*.deb' >"$work/reprotest.log" 2>&1 || status=$?
    # What it could not vary here, and why.
    grep '^WARNING' "$work/reprotest.log" || true
    if ((status != 0)); then
        if [[ -s $work/reprotest/experiment-1.diffoscope.out ]]; then
            head -n 80 "$work/reprotest/experiment-1.diffoscope.out"
            fail "the second build differs (diffoscope above, at most 80 lines)"
        fi
        tail -n 40 "$work/reprotest.log"
        fail "reprotest failed"
    fi
    # Its verdict, and the packages' hashes.
    sed -n '/^=\+$/,$p' "$work/reprotest.log"
fi

echo "== lintian --pedantic --display-info"
lintian --pedantic --display-info --display-experimental $package.changes \
    >"$work/lintian.txt" 2>&1 || true
# Root is warned that lintian would rather not run as root; that is no finding.
grep -v 'running with root privileges is not recommended' "$work/lintian.txt" \
    >"$work/findings.txt" || true
cat "$work/findings.txt"
[[ ! -s $work/findings.txt ]] || fail "lintian reports tags"

echo "== hardening flags of every compiler command"
# Every compile and link of the program, as the verbose build log shows it.
commands=$(grep -E '/usr/bin/c\+\+ .*(-c |-o app/korvex )' "$work/first/korvex.log")
[[ -n $commands ]] || fail "no compiler command found in the build log"
for flag in -D_FORTIFY_SOURCE=2 -fstack-protector-strong -fstack-clash-protection \
    -fcf-protection -ffile-prefix-map=; do
    if grep -vqF -- "$flag" <<<"$commands"; then
        fail "a compiler command lacks $flag: $(grep -vF -- "$flag" <<<"$commands" | head -1)"
    fi
done

tree=$work/tree
dpkg-deb -x "$package.deb" "$tree"
check_binary "$tree/usr/bin/korvex"

echo "== desktop entry, metainfo, appstreamcli compose"
desktop-file-validate "$tree"/usr/share/applications/*.desktop || fail "desktop entry invalid"
appstreamcli validate --no-net "$tree"/usr/share/metainfo/*.metainfo.xml \
    || fail "metainfo invalid"
appstreamcli compose --no-net --result-root="$work/compose" --origin=korvex "$tree" \
    >"$work/compose.txt" 2>&1 || { cat "$work/compose.txt"; fail "appstreamcli compose failed"; }
cat "$work/compose.txt"
if grep -qE '^(E|W):|error|warning' "$work/compose.txt"; then fail "compose reports problems"; fi
catalogue=$(zcat "$work"/compose/usr/share/swcatalog/xml/korvex.xml.gz)
grep -q '<launchable type="desktop-id">' <<<"$catalogue" || fail "no component in the catalogue"
grep -q '<icon type="cached" width="64" height="64">' <<<"$catalogue" \
    || fail "the catalogue entry has no 64x64 icon"

if ! $once; then
    release=$(. /etc/os-release && echo "$VERSION_CODENAME")
    timed "autopkgtest: $release $arch" "$source/packaging/autopkgtest.sh" "$release" "$arch" \
        "$PWD/$package.deb" "$release-$arch"
fi

mkdir -p "$source/build-package"
cp "$package.deb" "korvex-dbgsym_${package#korvex_}.deb" "$source/build-package/"
echo "package check passed; the packages are in build-package/"
