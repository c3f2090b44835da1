# shellcheck shell=bash
# Sourced by the scripts that build and check Korvex: where they keep what is slow to make,
# how long each of their stages took, and the compiler cache of Korvex's own builds.
#
# KORVEX_CACHE: the cache folder (${XDG_CACHE_HOME:-~/.cache}/korvex unless set).
# KORVEX_TIMES: a file that each stage run with `timed` adds a line "LABEL<tab>SECONDS<tab>CPU"
# to, CPU being the user and system seconds of the stage's processes; scripts/test.sh prints
# them as its closing table. Unset, nothing is recorded.

KORVEX_CACHE=${KORVEX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/korvex}
export KORVEX_CACHE

korvex_clock_ticks=$(getconf CLK_TCK)

# children_cpu VARIABLE: sets VARIABLE to the user and system time, in hundredths of a second,
# of the processes this shell has started and waited for so far, their own children included:
# what /usr/bin/time counts. (It reads this shell's own figures, so it must not run in a
# subshell of it: no $(...).)
children_cpu() {
    local stat fields
    read -r stat <"/proc/$BASHPID/stat"
    # The fields after the command's name, from the state (field 3) on: the children's user
    # and system times are fields 16 and 17, in clock ticks.
    read -ra fields <<<"${stat##*) }"
    printf -v "$1" %d $(((fields[13] + fields[14]) * 100 / korvex_clock_ticks))
}

# seconds HUNDREDTHS: prints them as seconds with one decimal.
seconds() { printf '%d.%d' $(($1 / 100)) $(($1 % 100 / 10)); }

# record LABEL SECONDS CPU_HUNDREDTHS: adds a stage's line to the table, if one is kept.
record() {
    if [[ -n ${KORVEX_TIMES:-} ]]; then
        printf '%s\t%s\t%s\n' "$1" "$2" "$(seconds "$3")" >>"$KORVEX_TIMES"
    fi
}

# timed LABEL COMMAND [ARGUMENT...]: runs the command and records how long it took and the CPU
# time it used, as "LABEL" when it passed and "LABEL (FAILED)" when it did not; returns its
# status.
timed() {
    local label=$1 started=$SECONDS cpu_before cpu_after status=0
    children_cpu cpu_before
    shift
    "$@" || status=$?
    children_cpu cpu_after
    if ((status != 0)); then label+=" (FAILED)"; fi
    record "$label" $((SECONDS - started)) $((cpu_after - cpu_before))
    return "$status"
}

# copy_tree FOLDER: copies the tree's tracked files to FOLDER, as its source package holds them.
korvex_tree=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
copy_tree() {
    mkdir -p "$1"
    git -C "$korvex_tree" ls-files -z | tar -C "$korvex_tree" --null -T - -cf - | tar -C "$1" -xf -
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
    # The builds compile Qt's headers once, as precompiled headers: ccache takes a compile
    # that uses one only when told that the header's time stamps do not matter.
    export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
    compiler_cache=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
}
