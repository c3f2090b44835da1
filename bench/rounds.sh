# shellcheck shell=bash disable=SC2154,SC2034 # build is the caller's, floors the caller's to use
# Sourced by startup.sh and peers.sh: starts programs one after another in rotated rounds
# under a private Xvfb and session bus and times each start with korvex_startwatch.
#
# The caller sets build (the build folder) and sources this, then sets programs (an array of
# "name|toolkit|command" entries) and calls run_rounds, print_table and ratios. ROUNDS sets
# the number of rounds (default 25); DESKTOP=GNOME starts every program as under GNOME.

# Qt's version, for the table.
qt=$(dpkg-query -W -f='${Version}' libqt6core6 2>/dev/null | grep -o '^[0-9]*\.[0-9]*' || echo 6)

rounds=${ROUNDS:-25}
for program in "$build/app/korvex" "$build/bench/korvex_bare" "$build/bench/korvex_label"; do
    [[ -x $program ]] || { echo "no $program: build the tree first" >&2; exit 1; }
done
# The two floors and Korvex, the first three programs of every run.
floors=(
    "bare Qt window (floor)|Qt $qt|$build/bench/korvex_bare"
    "Qt window with one label in a layout (floor for any window with text)|Qt $qt|$build/bench/korvex_label"
    "Korvex|Qt $qt|$build/app/korvex"
)
startwatch=$build/bench/korvex_startwatch
[[ -x $startwatch ]] || { echo "no $startwatch: build the tree first" >&2; exit 1; }

work=$(mktemp -d)
xvfb=
bus=
cleanup() {
    [[ -n $bus ]] && kill "$bus" 2>/dev/null && wait "$bus" 2>/dev/null
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

# Every program gets the same clean environment: a private home, the private display, and
# one session bus for the whole run, so that no program pays for launching a bus of its own
# and the services it activates (the accessibility bus, dconf) start once.
environment=(
    DISPLAY=":$(cat "$work/display")" HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
    XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache"
    XDG_DATA_HOME="$work/home/.local/share" PATH=/usr/bin:/bin LANG=C.UTF-8
)
[[ -n ${DESKTOP:-} ]] && environment+=(XDG_CURRENT_DESKTOP="$DESKTOP")
env -i "${environment[@]}" dbus-daemon --session --nofork --print-address=3 \
    3>"$work/bus" >>"$work/programs.log" 2>&1 &
bus=$!
for ((i = 0; i < 100; i++)); do [[ -s $work/bus ]] && break; sleep 0.05; done
[[ -s $work/bus ]] || { echo "dbus-daemon did not start" >&2; exit 1; }
environment+=(DBUS_SESSION_BUS_ADDRESS="$(head -1 "$work/bus")")

# measure <index>: starts programs[index] once and appends "mapped content peak" to its file.
measure() {
    local name command line
    IFS='|' read -r name _ command <<<"${programs[$1]}"
    # shellcheck disable=SC2086 # the command is split into its words on purpose
    if line=$(env -i "${environment[@]}" "$startwatch" $command 2>>"$work/programs.log"); then
        awk '{ for (i = 1; i <= NF; ++i) { split($i, f, "="); v[f[1]] = f[2] }
               print v["mapped_ms"], v["content_ms"], v["peak_kib"] }' <<<"$line" >>"$work/$1.txt"
    else
        echo "$name: no measurement in round $round (see below)" >&2
        tail -3 "$work/programs.log" >&2
    fi
}

# run_rounds: one discarded round fills the caches a first start fills, then each round
# starts every program once, each round beginning one program further on.
run_rounds() {
    local count=${#programs[@]} i
    loads=$(cut -d' ' -f1 /proc/loadavg)
    for ((i = 0; i < count; i++)); do : >"$work/$i.txt"; done
    round=warm-up
    for ((i = 0; i < count; i++)); do measure "$i"; done
    for ((i = 0; i < count; i++)); do : >"$work/$i.txt"; done
    for ((round = 0; round < rounds; round++)); do
        for ((i = 0; i < count; i++)); do measure $(((round + i) % count)); done
    done
    loads+=" $(cut -d' ' -f1 /proc/loadavg)"
}

# stats <index> <column> [divisor]: "median min max" of one column, "-" where it has none.
stats() {
    awk -v c="$2" -v d="${3:-1}" '$c != "-" { print $c / d }' "$work/$1.txt" | sort -g |
        awk '{ v[NR] = $1 }
             END { if (!NR) { print "- - -"; exit }
                   m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
                   print m, v[1], v[NR] }'
}

# cell <median> <min> <max>: "28.7 (27.9–31.0)", or "-" where nothing was measured.
cell() { [[ $1 == - ]] && echo - || printf '%.1f (%.1f–%.1f)' "$1" "$2" "$3"; }

# row <index>: the program's line of the table.
row() {
    local name toolkit
    IFS='|' read -r name toolkit _ <<<"${programs[$1]}"
    # shellcheck disable=SC2046 # stats prints the three words cell takes
    printf '| %s | %s | %s | %s | %s |\n' "$name" "$toolkit" \
        "$(cell $(stats "$1" 1))" "$(cell $(stats "$1" 2))" "$(cell $(stats "$1" 3 1024))"
}

# print_table [fixed]: the table of every program's medians, minima and maxima; the rows
# after the first fixed ones (default all) are sorted by the median time to mapped.
print_table() {
    local fixed=${1:-${#programs[@]}} i
    echo "$rounds rounds on $(nproc) cores of $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1)," \
        "$(date -u '+%Y-%m-%d %H:%M UTC'); load average ${loads/ / at the start, } at the end"
    echo
    echo "| Program | Toolkit | ms to window mapped | ms to first content | peak RSS MiB |"
    echo "|---|---|---|---|---|"
    for ((i = 0; i < fixed && i < ${#programs[@]}; i++)); do row "$i"; done
    for ((i = fixed; i < ${#programs[@]}; i++)); do
        echo "$(stats "$i" 1 | cut -d' ' -f1) $i"
    done | sort -g | while read -r _ i; do row "$i"; done
    echo
    echo "Medians (minimum–maximum) over the rounds; the peak is read 300 ms after the first content."
}

# ratios <index> <floor index>...: the program's medians against each floor's.
ratios() {
    local program=$1 floor name
    shift
    for floor in "$@"; do
        IFS='|' read -r name _ <<<"${programs[$floor]}"
        name=${name%% (*}
        paste <(stats "$program" 1) <(stats "$floor" 1) <(stats "$program" 2) <(stats "$floor" 2) \
            <(stats "$program" 3 1024) <(stats "$floor" 3 1024) |
            awk -v floor="$name" '{
                r = "Korvex / " floor ": mapped " ($4 > 0 ? sprintf("%.2f", $1 / $4) : "-")
                r = r ", first content " ($10 != "-" && $7 != "-" ? sprintf("%.2f", $7 / $10) : "-")
                printf "%s, peak RSS %+.1f MiB\n", r, $13 - $16 }'
    done
}
