#!/usr/bin/env bash
# Runs the package's own tests (debian/tests) the way Debian's CI runs them: autopkgtest
# installs the package DEB in a throwaway Debian system made from Debian's archive and runs
# each test against the installed /usr/bin/korvex, from a copy of the tracked files, with
# autopkgtest-virt-unshare. Nothing is installed on or removed from this machine. Prints
# autopkgtest's summary, one line a test, and fails unless every test passed; the logs and the
# artifacts (the story's screenshots) go to build-autopkgtest/LABEL/.
#
# The testbed is a tarball of a minimal system (mmdebstrap --variant=apt) that already holds
# the dependencies of the tests it runs, so that a run installs little more than the package.
# It is kept in the cache folder ${KORVEX_CACHE:-${XDG_CACHE_HOME:-~/.cache}/korvex} and made
# again when it is older than a week or when the tests' dependencies change.
#
# A testbed of another architecture (arm64 here) runs every program under qemu-user: for as
# long as the script runs, the kernel is given a binfmt_misc handler that runs arm64 programs
# under qemu-aarch64-static, for the whole machine, and it is removed again at the end (one
# that the machine has of its own is used and left as it is). The story's waits get the
# emulator's allowance there.
#
# Needs root or sudo, as Debian's CI does not: autopkgtest-virt-unshare maps the testbed's
# users with the invoking user's subordinate IDs (/etc/subuid), and root, who needs none, is
# given an unshare that leaves the user namespace out (see below).
#
# With --testbed it only makes the testbed for those tests, unless it is made already.
#
# usage: autopkgtest.sh RELEASE ARCH DEB LABEL [TEST...] | --testbed RELEASE ARCH [TEST...]
#   TEST: the tests to run, all of them by default (the tools come from setup.sh --package-check)
set -euo pipefail
cache=${KORVEX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/korvex}
if ((EUID != 0)); then
    exec sudo KORVEX_CACHE="$cache" KORVEX_TIMES="${KORVEX_TIMES:-}" "$0" "$@"
fi
only_testbed=false
if [[ ${1:-} == --testbed ]]; then only_testbed=true && shift; fi
if { $only_testbed && (($# < 2)); } || { ! $only_testbed && (($# < 4)); }; then
    echo "usage: autopkgtest.sh RELEASE ARCH DEB LABEL [TEST...] | --testbed RELEASE ARCH" \
        "[TEST...]" >&2
    exit 2
fi
tree=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/stages.sh
source "$tree/scripts/stages.sh"
release=$1 arch=$2 name="$1 $2 testbed"
shift 2
if ! $only_testbed; then
    deb=$(realpath "$1") name=$2
    shift 2
fi
tests=("$@")
mirror=http://deb.debian.org

fail() {
    echo "FAIL: autopkgtest $name: $*" >&2
    exit 1
}
foreign=false
[[ $arch == "$(dpkg --print-architecture)" ]] || foreign=true
tools=(autopkgtest autopkgtest-virt-unshare mmdebstrap)
if $foreign; then tools+=(qemu-aarch64-static); fi
for tool in "${tools[@]}"; do
    command -v "$tool" >/dev/null \
        || fail "$tool is not installed (scripts/setup.sh --package-check installs it)"
done
[[ $arch == arm64 || $foreign == false ]] || fail "no emulator here for $arch"

work=$(mktemp -d "${TMPDIR:-/var/tmp}/korvex-autopkgtest.XXXXXX")
binfmt=/proc/sys/fs/binfmt_misc
# Says that the handler is this script's, for a later run when this one was killed before it
# removed it.
marker=$cache/arm64-binfmt-handler
mounted=false registered=false
cleanup() {
    local status=$?
    if $registered; then
        echo -1 >"$binfmt/qemu-aarch64"
        rm -f "$marker"
        echo "the binfmt_misc handler for arm64 is removed again"
    fi
    if $mounted; then umount "$binfmt"; fi
    rm -rf --one-file-system "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 143' INT TERM HUP

# handler: makes sure the kernel runs arm64 programs under qemu-aarch64-static, with a handler
# of the machine's own or one registered here. The fixed-binary flag (F) has the kernel open
# the emulator now, so that the testbed needs no copy of it.
handler() {
    if [[ ! -e $binfmt/register ]]; then
        mount -t binfmt_misc binfmt_misc "$binfmt"
        mounted=true
    fi
    if [[ -e $binfmt/qemu-aarch64 && -e $marker ]]; then
        echo "removing the binfmt_misc handler an earlier run left behind"
        echo -1 >"$binfmt/qemu-aarch64"
    fi
    if [[ -e $binfmt/qemu-aarch64 ]]; then
        echo "arm64 programs run under the machine's own handler:" \
            "$(tr '\n' ' ' <"$binfmt/qemu-aarch64")"
        return 0
    fi
    # An ELF header of a 64-bit little-endian AArch64 program or shared object, as QEMU's
    # scripts/qemu-binfmt-conf.sh describes it.
    local magic='\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00'
    local mask='\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    mkdir -p "$cache"
    touch "$marker"
    echo ":qemu-aarch64:M::$magic:$mask:/usr/bin/qemu-aarch64-static:F" >"$binfmt/register"
    registered=true
    echo "registered a binfmt_misc handler: arm64 programs run under qemu-aarch64-static" \
        "until the tests end"
}
if $foreign; then handler; fi

# The dependencies of the tests to run but the package itself, from debian/tests/control,
# and what autopkgtest installs in a testbed that lacks it: dpkg-dev to read the source tree,
# apt-utils before each test.
includes=$( (echo apt-utils dpkg-dev && awk -v wanted=" ${tests[*]} " '
    function flush(   count, i, name) {
        count = split(names, name, /[ ,]+/)
        for (i = 1; i <= count; i++)
            if (name[i] != "" && (wanted == "  " || index(wanted, " " name[i] " "))) {
                print depends
                break
            }
        names = depends = ""
    }
    /^#/ { next }
    /^[ \t]*$/ { flush(); field = ""; next }
    /^[A-Za-z-]+:/ { field = $1; sub(/^[^:]*:/, "") }
    field == "Tests:" { names = names " " $0 }
    field == "Depends:" { depends = depends "," $0 }
    END { flush() }' "$tree/debian/tests/control") | tr -s ', \t' '\n' \
    | grep -vx -e '' -e korvex | sort -u | paste -sd ,)
sources=("deb $mirror/debian $release main" "deb $mirror/debian $release-updates main"
    "deb $mirror/debian-security $release-security main")
key=$(printf '%s\n' "$release" "$arch" "$includes" "${sources[@]}" | sha256sum | cut -c 1-12)
testbed=$cache/testbed-$release-$arch-$key.tar

# One run makes the testbed while the others wait; a run that finds it made uses it as it is,
# and a testbed made anew replaces the file, so that one in use stays whole.
make_testbed() {
    echo "Making the $release $arch testbed $testbed"
    # The package lists stay, for a dependency that the testbed lacks.
    mmdebstrap --quiet --variant=apt --format=tar --arch="$arch" --include="$includes" \
        --skip=cleanup/apt/lists "$release" "$testbed.new" "${sources[@]}" \
        || fail "mmdebstrap could not make the $release $arch testbed"
    mv "$testbed.new" "$testbed"
}
mkdir -p "$cache"
exec {making}>"$testbed.lock"
flock --wait 3600 "$making"
if [[ -z $(find "$testbed" -mtime -7 2>/dev/null) ]]; then
    timed "autopkgtest: $release $arch testbed made" make_testbed
fi
# Testbeds that no run has made for a week.
find "$cache" -maxdepth 1 -name 'testbed-*.tar' -mtime +7 -delete
exec {making}>&-
if $only_testbed; then exit 0; fi

# autopkgtest-virt-unshare enters the testbed with `unshare --map-auto --map-root-user --user`,
# which needs subordinate IDs of the user that runs it. Root owns the testbed's files as they
# are, so this unshare leaves the user namespace out and keeps the others (mount, and those of
# the testbed's own unshare inside).
mkdir "$work/bin"
cat >"$work/bin/unshare" <<'EOF'
#!/bin/bash
options=()
for option; do
    case $option in --map-auto | --map-root-user | --user) ;; *) options+=("$option") ;; esac
done
exec /usr/bin/unshare "${options[@]}"
EOF
chmod 755 "$work/bin/unshare"

# The tests run from the tracked files, as from the unpacked source package.
copy_tree "$work/korvex"
out=$tree/build-autopkgtest/$name
rm -rf "$out"
mkdir -p "${out%/*}"
options=("${tests[@]/#/--test-name=}")
if $foreign; then options+=(--env=KORVEX_EMULATOR=env); fi
echo "== autopkgtest $name: ${deb##*/} in a $release $arch testbed"
status=0
PATH=$work/bin:$PATH timeout 3600 autopkgtest --no-built-binaries --output-dir="$out" \
    --timeout-test=1800 "${options[@]}" "$deb" "$work/korvex/" \
    -- unshare --arch="$arch" --release="$release" --tarball="$testbed" \
    --prefix="$work/testbed." >"$work/autopkgtest.log" 2>&1 || status=$?
cp "$work/autopkgtest.log" "$out/" 2>/dev/null || true
# autopkgtest ends with 8 when no test but a superficial one passed, which is neither a pass
# nor a failure to Debian's CI; here it is a pass when every test run passed.
if ((status == 8)) && [[ -s $out/summary ]] && ! grep -qv ' PASS' "$out/summary"; then
    status=0
fi
if ((status != 0)); then
    tail -n 60 "$work/autopkgtest.log"
fi
[[ -s $out/summary ]] || fail "autopkgtest ended with status $status and no summary"
sed "s/^/autopkgtest $name: /" "$out/summary"
((status == 0)) || fail "autopkgtest ended with status $status (log: $out/log)"
