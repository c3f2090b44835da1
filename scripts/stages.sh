# shellcheck shell=bash
# Sourced by the scripts that build and check Korvex: where they keep what is slow to make,
# how long each of their stages took, and the compiler cache of Korvex's own builds.
#
# KORVEX_CACHE: the cache folder (${XDG_CACHE_HOME:-~/.cache}/korvex unless set).
# KORVEX_TIMES: a file that each stage run with `timed` adds a line "LABEL<tab>SECONDS" to;
# scripts/test.sh prints them as its closing table. Unset, nothing is recorded.

KORVEX_CACHE=${KORVEX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/korvex}
export KORVEX_CACHE

# timed LABEL COMMAND [ARGUMENT...]: runs the command and records how long it took, as
# "LABEL" when it passed and "LABEL (FAILED)" when it did not; returns its status.
timed() {
    local label=$1 started=$SECONDS status=0
    shift
    "$@" || status=$?
    if [[ -n ${KORVEX_TIMES:-} ]]; then
        if ((status != 0)); then label+=" (FAILED)"; fi
        printf '%s\t%s\n' "$label" $((SECONDS - started)) >>"$KORVEX_TIMES"
    fi
    return "$status"
}

# use_compiler_cache: sets compiler_cache to the CMake options that put ccache in front of the
# compilers, where it is installed (setup.sh --test and --windows install it), for the builds
# that are only tested, never shipped or compared byte for byte. The same sources give the
# same objects in any clone of the tree, so with a warm cache a build compiles only what
# changed. The Debian package and the coverage build compile afresh.
use_compiler_cache() {
    compiler_cache=()
    command -v ccache >/dev/null || return 0
    export CCACHE_DIR=$KORVEX_CACHE/ccache-$(. /etc/os-release && echo "$VERSION_CODENAME")
    CCACHE_BASEDIR=$(cd "${BASH_SOURCE[0]%/*}/.." && pwd)
    export CCACHE_BASEDIR CCACHE_NOHASHDIR=1 CCACHE_MAXSIZE=2G
    compiler_cache=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
}
