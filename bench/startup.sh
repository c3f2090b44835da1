#!/bin/bash
# Measures Korvex's start-up against the bare Qt Widgets program korvex_bare: the time from
# starting each program until its main window is mapped, and its peak resident memory once
# the window is up. Both run alternately under a private Xvfb with a clean environment and a
# temporary HOME, first as on a plain X session and then as under GNOME, where Qt loads its
# GTK3 platform theme.
#
# usage: bench/startup.sh [build folder, default build]; RUNS=<n> sets the runs per program
# (default 30)
set -euo pipefail

build=$(realpath "${1:-build}")
runs=${RUNS:-30}
korvex=$build/app/korvex
bare=$build/bench/korvex_bare
for program in "$korvex" "$bare"; do
    [[ -x $program ]] || { echo "no $program: build the tree first" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb=
cleanup() {
    [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -m 700 "$work/home" "$work/runtime"

# Xvfb picks a free display itself and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for ((i = 0; i < 100; i++)); do [[ -s $work/display ]] && break; sleep 0.05; done
[[ -s $work/display ]] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=:$(cat "$work/display")

# measure <title regex> <program> [VAR=value...]: prints the microseconds until the window
# is mapped, the peak RSS in KiB, and whether the GTK3 platform theme got loaded.
measure() {
    local title=$1 program=$2 pid start mapped deadline hwm gtk=no i
    shift 2
    start=${EPOCHREALTIME/./}
    env -i DISPLAY="$DISPLAY" HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" \
        PATH=/usr/bin:/bin LANG=C.UTF-8 "$@" "$program" >>"$work/programs.log" 2>&1 &
    pid=$!
    deadline=$((start + 10000000))
    until xdotool search --onlyvisible --name "$title" >/dev/null 2>&1; do
        if ! kill -0 "$pid" 2>/dev/null || ((${EPOCHREALTIME/./} > deadline)); then
            echo "$program exited or showed no window '$title' within 10 s" >&2
            kill "$pid" 2>/dev/null || true; tail -5 "$work/programs.log" >&2; return 1
        fi
        sleep 0.002
    done
    mapped=${EPOCHREALTIME/./}
    sleep 0.3 # let it paint the first frame
    hwm=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status")
    grep -q libqgtk3 "/proc/$pid/maps" && gtk=yes
    kill "$pid"; wait "$pid" 2>/dev/null || true
    # The next start must not find this window, which the server may not have dropped yet.
    for ((i = 0; i < 100; i++)); do
        xdotool search --onlyvisible --name "$title" >/dev/null 2>&1 || break
        sleep 0.01
    done
    echo "$((mapped - start)) $hwm $gtk"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# table <heading> [VAR=value...]: runs both programs alternately and prints their medians.
table() {
    local heading=$1 i
    shift
    : >"$work/korvex.txt"; : >"$work/bare.txt"
    # One discarded run each fills the caches a first start fills.
    measure '^Korvex $' "$korvex" "$@" >/dev/null
    measure '^Bare $' "$bare" "$@" >/dev/null
    for ((i = 0; i < runs; i++)); do
        if ((i % 2)); then
            measure '^Bare $' "$bare" "$@" >>"$work/bare.txt"
            measure '^Korvex $' "$korvex" "$@" >>"$work/korvex.txt"
        else
            measure '^Korvex $' "$korvex" "$@" >>"$work/korvex.txt"
            measure '^Bare $' "$bare" "$@" >>"$work/bare.txt"
        fi
    done

    local name t m
    echo "== $heading ($runs runs each, display $DISPLAY)"
    printf '%-8s %18s %18s %14s\n' program "median start ms" "median peak MiB" "GTK3 theme"
    for name in korvex bare; do
        t=$(awk '{ print $1 / 1000 }' "$work/$name.txt" | median)
        m=$(awk '{ print $2 / 1024 }' "$work/$name.txt" | median)
        declare -g "time_$name=$t" "mem_$name=$m"
        printf '%-8s %18.1f %18.1f %14s\n' "$name" "$t" "$m" \
            "$(awk '{ print $3 }' "$work/$name.txt" | sort -u | paste -sd/)"
    done
    awk -v tk="$time_korvex" -v tb="$time_bare" -v mk="$mem_korvex" -v mb="$mem_bare" \
        'BEGIN { printf "Korvex / bare start-up time: %.2f; Korvex - bare peak RSS: %+.1f MiB\n\n", tk / tb, mk - mb }'
}

echo "qt6-gtk-platformtheme: $(dpkg-query -W -f='${Status} ${Version}\n' qt6-gtk-platformtheme 2>/dev/null || echo 'not installed')"
table "XDG_CURRENT_DESKTOP unset"
table "XDG_CURRENT_DESKTOP=GNOME" XDG_CURRENT_DESKTOP=GNOME
