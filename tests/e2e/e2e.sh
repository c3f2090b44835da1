#!/usr/bin/env bash
# Drives the real korvex on a private Xvfb with xdotool, the way a user would: a refused
# Calculate, a real one and its log file, the output-file window, the About window, Exit.
# There is no window manager, so window coordinates are screen coordinates.
#
# Usage: e2e.sh KORVEX_EXECUTABLE SCREENSHOT_FOLDER
set -euo pipefail

readonly KORVEX=$1 SHOTS=$2
STEP="setting up"
XVFB_PID="" KORVEX_PID="" WORK=""

cleanup() {
    local status=$?
    if ((status != 0 && status != 77)); then echo "e2e FAILED while $STEP" >&2; fi
    if [[ -n $KORVEX_PID ]]; then kill "$KORVEX_PID" 2>/dev/null || true; fi
    if [[ -n $XVFB_PID ]]; then kill "$XVFB_PID" 2>/dev/null || true; fi
    # shellcheck disable=SC2086 # unquoted, so that an empty one drops out
    wait $KORVEX_PID $XVFB_PID 2>/dev/null || true
    if [[ -n $WORK ]]; then rm -rf "$WORK"; fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 143' INT TERM HUP

fail() { echo "e2e: $*" >&2; exit 1; }
step() { STEP=$1; echo "e2e: $STEP"; }

start_xvfb() {
    local n i
    for ((n = 90; n < 130; n++)); do
        [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
        XVFB_PID=$!
        export DISPLAY=":$n"
        # The server must be ours: another one may have taken the number meanwhile.
        for ((i = 0; i < 50; i++)); do
            kill -0 "$XVFB_PID" 2>/dev/null || break
            if xdpyinfo >/dev/null 2>&1 && kill -0 "$XVFB_PID" 2>/dev/null; then return 0; fi
            sleep 0.1
        done
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
    done
    fail "no free display from :90 to :129"
}

# wait_for_window NAME_REGEX: prints the id of the first visible window of that name.
wait_for_window() {
    local ids
    ids=$(timeout 10 xdotool search --sync --onlyvisible --name "$1") || fail "no window '$1'"
    echo "${ids%%$'\n'*}"
}

# wait_gone NAME_REGEX: waits until no window of that name is visible.
wait_gone() {
    local i
    for ((i = 0; i < 50; i++)); do
        xdotool search --onlyvisible --name "$1" >/dev/null || return 0
        sleep 0.1
    done
    fail "window '$1' is still visible"
}

click_in() { xdotool mousemove --window "$1" "$2" "$3" sleep 0.1 click 1; sleep 0.2; }
press_key() { timeout 5 xdotool windowfocus --sync "$1" key "$2" || fail "cannot press $2"; }

# type_into WINDOW X Y TEXT: replaces the text of the box at X,Y.
type_into() {
    click_in "$1" "$2" "$3"
    xdotool key ctrl+a
    xdotool type --delay 30 "$4"
}

screenshot() { import -window "$1" "$SHOTS/$2.png" || fail "cannot take $2.png"; }

# Presses Enter on the message box (titled "Korvex", no blank) and checks that it goes away.
dismiss_message() {
    local box
    box=$(wait_for_window '^Korvex$')
    press_key "$box" Return
    wait_gone '^Korvex$'
}

for tool in Xvfb xdpyinfo xdotool import cmp; do
    command -v "$tool" >/dev/null || { echo "e2e skipped: $tool is not installed"; exit 77; }
done
[[ -x $KORVEX ]] || fail "$KORVEX is not an executable"

started=$SECONDS
WORK=$(mktemp -d)
mkdir -p "$SHOTS" "$WORK/home" "$WORK/runtime"
chmod 700 "$WORK/runtime"
rm -f "$SHOTS"/*.png
start_xvfb
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
export HOME=$WORK/home XDG_RUNTIME_DIR=$WORK/runtime
readonly LOG=$HOME/output.txt

step "starting korvex on $DISPLAY"
"$KORVEX" >"$WORK/korvex.log" 2>&1 &
KORVEX_PID=$!
main=$(wait_for_window '^Korvex $')
xdotool windowmove --sync "$main" 0 0
geometry=$(xdotool getwindowgeometry "$main")
[[ $geometry == *"Position: 0,0 "* && $geometry == *"Geometry: 462x319"* ]] \
    || fail "main window is not 462x319 at 0,0: $geometry"

step "calculating with no input"
click_in "$main" 52 128
dismiss_message
[[ ! -e $LOG ]] || fail "a refused calculation wrote $LOG"

step "calculating 6 rows, 7 columns, length 4"
type_into "$main" 392 20 6
type_into "$main" 392 52 7
type_into "$main" 392 84 4
click_in "$main" 52 128
for ((i = 0; i < 50; i++)); do [[ -s $LOG ]] && break; sleep 0.1; done
printf '"Columns:",6\r\n"Rows:",7\r\n"Connection Length:",4\r\n\r\n' >"$WORK/expected.txt"
cmp "$WORK/expected.txt" "$LOG" || fail "$LOG differs: $(od -c "$LOG" 2>&1 | head -5)"
sleep 0.3
screenshot "$main" main-window

step "deleting the log from the output-file window"
click_in "$main" 228 128
output=$(wait_for_window '^Output.txt$')
screenshot "$output" output-window
click_in "$output" 156 160
dismiss_message
[[ ! -e $LOG ]] || fail "$LOG still exists after Delete Output"
click_in "$output" 260 160
wait_gone '^Output.txt$'

step "opening and closing the About window"
click_in "$main" 316 128
about=$(wait_for_window '^About Korvex$')
sleep 0.2
screenshot "$about" about-window
press_key "$about" Escape
wait_gone '^About Korvex$'

step "exiting"
click_in "$main" 404 128
for ((i = 0; i < 50; i++)); do
    kill -0 "$KORVEX_PID" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$KORVEX_PID" 2>/dev/null && fail "korvex is still running 5 s after Exit"
status=0
wait "$KORVEX_PID" || status=$?
KORVEX_PID=""
((status == 0)) || fail "korvex exited with status $status: $(cat "$WORK/korvex.log")"

echo "e2e passed in $((SECONDS - started)) s: refused input, log of 6x7 C4, Delete Output," \
    "About, Exit; screenshots in $SHOTS"
