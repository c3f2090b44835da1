#!/usr/bin/env bash
# Builds the Debian package twice, each time from a copy of the tree in a folder of its own,
# and fails unless
#   - the two builds give the same bytes (the second one in another folder, later, under
#     another time zone and umask);
#   - lintian, pedantic and with info tags, reports nothing. Tags it would report and why
#     they stand: debian/korvex.lintian-overrides, with the reason beside each;
#   - every compiler command carried the hardening flags, and hardening-check passes on the
#     installed /usr/bin/korvex (see harden() below for the two checks it leaves to the log);
#   - the desktop entry and the metainfo validate, and appstreamcli compose makes a
#     catalogue entry with icons, without an error or a warning;
#   - apt-get installs the package, /usr/bin/korvex shows its window on an X server of its
#     own, and apt-get purge leaves none of the package's files behind.
# The packages are left in build-package/. Needs root or sudo: it installs the package.
#
# With --once it builds the package once and checks that build alone, as above, but for the
# comparison of two builds. With --install-only DEB it only installs the package DEB, built
# elsewhere (on another release, say), starts /usr/bin/korvex and purges it again, as above.
#
# usage: check_package.sh [--once | --install-only DEB]
set -euo pipefail
only_install="" once=false
if [[ ${1:-} == --install-only ]]; then only_install=$(realpath "$2"); fi
if [[ ${1:-} == --once ]]; then once=true; fi
cd "$(dirname "$0")/.."
source=$PWD
# shellcheck source=scripts/xvfb.sh
source scripts/xvfb.sh

if [[ -n $only_install ]]; then scripts/setup.sh --try-package; fi

tools=(Xvfb xdotool)
[[ -n $only_install ]] || tools+=(dpkg-buildpackage dh lintian hardening-check
    desktop-file-validate appstreamcli fakeroot readelf)
missing=()
for tool in "${tools[@]}"; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
[[ -n $only_install || -x /usr/libexec/appstreamcli-compose ]] || missing+=(appstreamcli-compose)
if ((${#missing[@]})); then
    echo "FAIL: not installed: ${missing[*]} (scripts/setup.sh --test installs them)" >&2
    exit 1
fi

sudo=()
if ((EUID != 0)); then sudo=(sudo); fi

work=$(mktemp -d)
# apt's own user reads the package from here.
chmod 755 "$work"
installed="" xvfb="" korvex=""
cleanup() {
    local status=$?
    if [[ -n $korvex ]]; then kill "$korvex" 2>/dev/null || true; fi
    if [[ -n $xvfb ]]; then kill "$xvfb" 2>/dev/null || true; fi
    # shellcheck disable=SC2086 # unquoted, so that an empty one drops out
    wait $korvex $xvfb 2>/dev/null || true
    if [[ -n $installed ]]; then "${sudo[@]}" apt-get purge -y -qq korvex >/dev/null || true; fi
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 143' INT TERM HUP

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# build FOLDER [ENV...]: copies the tracked files of the tree to FOLDER and builds the
# binary packages there, into FOLDER's parent. The tests ran before; nocheck skips them.
build() {
    local folder=$1
    shift
    mkdir -p "$folder"
    git -C "$source" ls-files -z | tar -C "$source" --null -T - -cf - | tar -C "$folder" -xf -
    echo "== dpkg-buildpackage in $folder"
    (cd "$folder" && env DEB_BUILD_OPTIONS=nocheck "$@" \
        dpkg-buildpackage -b -us -uc >"$folder.log" 2>&1) \
        || { tail -n 40 "$folder.log"; fail "dpkg-buildpackage failed in $folder"; }
}

# install_start_purge DEB: installs DEB with apt-get, shows /usr/bin/korvex's window on an X
# server of its own and purges the package, which must leave none of its files behind.
install_start_purge() {
    local deb=$1
    echo "== apt-get install $deb"
    if dpkg-query -W -f='${db:Status-Abbrev}' korvex 2>/dev/null | grep -q '^i'; then
        fail "korvex is installed on this machine already; the check would remove it"
    fi
    installed=yes
    "${sudo[@]}" apt-get install -y -qq "$deb" >"$work/install.txt" 2>&1 \
        || { cat "$work/install.txt"; fail "apt-get install failed"; }
    [[ -n $only_install ]] || check_installed_binary

    echo "== /usr/bin/korvex under Xvfb"
    start_xvfb "$work" || fail "Xvfb does not start: $(cat "$work/xvfb.log")"
    xvfb=$XVFB_PID
    mkdir -p "$work/home"
    HOME=$work/home QT_QPA_PLATFORM=xcb /usr/bin/korvex >"$work/korvex.txt" 2>&1 &
    korvex=$!
    timeout 20 xdotool search --sync --onlyvisible --name '^Korvex $' >/dev/null \
        || { cat "$work/korvex.txt"; fail "/usr/bin/korvex showed no window named 'Korvex '"; }
    echo "the window 'Korvex ' is shown"
    kill "$korvex"
    wait "$korvex" 2>/dev/null || true
    korvex=""

    echo "== apt-get purge korvex"
    "${sudo[@]}" apt-get purge -y -qq korvex >/dev/null || fail "apt-get purge failed"
    installed=""
    local left=() path
    while read -r path; do
        path=${path#.}
        [[ -e $path && ! -d $path ]] && left+=("$path")
    done < <(dpkg-deb --fsys-tarfile "$deb" | tar -t)
    [[ ! -e /usr/share/doc/korvex ]] || left+=(/usr/share/doc/korvex)
    ((${#left[@]} == 0)) || fail "purge left behind: ${left[*]}"
}

# Debian's C start files carry no CET note, so the linker drops the IBT and SHSTK marks from
# every program (hardening-check /usr/bin/ls fails the same way); where the start files have
# the note, the program must have the marks. Korvex's only libc copy call is
# memmove inside Qt's QList code on a buffer of unknown size, which no _FORTIFY_SOURCE level
# can check. The build log shows that both flags were given.
check_installed_binary() {
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
    hardening-check "${ignored[@]}" /usr/bin/korvex || fail "hardening-check fails"
    # The libraries all come from the system's folders; any search path of its own is one too
    # many.
    if readelf -d /usr/bin/korvex | grep -qE '\((RUNPATH|RPATH)\)'; then
        fail "/usr/bin/korvex has a library search path: $(readelf -d /usr/bin/korvex | grep PATH)"
    fi
}

if [[ -n $only_install ]]; then
    install_start_purge "$only_install"
    echo "package check passed: $only_install installs, starts and purges"
    exit 0
fi

# The package's name and version as debian/changelog gives them, for this architecture.
version=$(dpkg-parsechangelog -S Version)
upstream_version=${version%-*}
package=korvex_${version}_$(dpkg --print-architecture)
build "$work/first/korvex"
cd "$work/first"
[[ -f $package.deb && -f korvex-dbgsym_${package#korvex_}.deb ]] \
    || fail "expected $package.deb and its dbgsym package, got: $(ls)"
if ! $once; then
    sleep 2
    build "$work/second-build/korvex-$upstream_version" TZ=Asia/Tokyo \
        bash -c 'umask 0002; exec "$@"' umask
    echo "== the two builds"
    for deb in korvex_*.deb korvex-dbgsym_*.deb; do
        sha256sum "$deb" "../second-build/$deb"
        cmp -s "$deb" "../second-build/$deb" || fail "$deb differs between the two builds"
    done
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

echo "== desktop entry, metainfo, appstreamcli compose"
tree=$work/tree
dpkg-deb -x "$package.deb" "$tree"
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

install_start_purge "$PWD/$package.deb"

mkdir -p "$source/build-package"
cp "$package.deb" "korvex-dbgsym_${package#korvex_}.deb" "$source/build-package/"
echo "package check passed; the packages are in build-package/"
