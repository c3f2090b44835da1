#!/usr/bin/env bash
# Drives the real korvex on a private Xvfb with xdotool, the way a user would: a refused
# Calculate, a real one and its log file, the output-file window, the About window, Exit.
# Openbox manages the windows, so that title bars, frames and placement are real; clicks are
# relative to a window's own area, inside its frame.
#
# Usage: e2e.sh KORVEX_EXECUTABLE SCREENSHOT_FOLDER
# With KORVEX_EMULATOR set ("qemu-aarch64 -L /", say), korvex, built for another machine, runs
# under that command.
set -euo pipefail

readonly KORVEX=$1 SHOTS=$2
read -ra EMULATOR <<<"${KORVEX_EMULATOR:-}"
readonly EMULATOR

# shellcheck source=tests/e2e/x11.sh
source "${BASH_SOURCE[0]%/*}/x11.sh"
trap cleanup EXIT
trap 'exit 143' INT TERM HUP

require_tools readelf Xvfb openbox xdotool xprop xwininfo import compare cmp
[[ -x $KORVEX ]] || fail "$KORVEX is not an executable"

# Under AddressSanitizer, the whole stack of a leak is needed to tell the libraries' at exit
# from Korvex's (fuzz/lsan.supp): they keep no frame pointers.
if [[ -n ${ASAN_OPTIONS:-} ]]; then export ASAN_OPTIONS=$ASAN_OPTIONS:fast_unwind_on_malloc=0; fi

started=$SECONDS
WORK=$(mktemp -d)
mkdir -p "$SHOTS" "$WORK/home" "$WORK/runtime"
chmod 700 "$WORK/runtime"
rm -f "$SHOTS"/*.png
start_xvfb "$WORK" || fail "Xvfb does not start: $(cat "$WORK/xvfb.log")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
export HOME=$WORK/home XDG_RUNTIME_DIR=$WORK/runtime
readonly LOG=$HOME/output.txt
start_wm

step "reading korvex's library search path"
# An empty entry makes the loader search whatever folder korvex is started from.
runpath=$(readelf -d "$KORVEX" | sed -n 's/.*(R\(UN\)\{0,1\}PATH).*\[\(.*\)\]$/\2/p')
[[ $runpath != :* && $runpath != *: && $runpath != *::* ]] \
    || fail "the library search path has an empty entry: [$runpath]"

step "starting korvex on $DISPLAY"
"${EMULATOR[@]}" "$KORVEX" >"$WORK/korvex.log" 2>&1 &
KORVEX_PID=$!
main=$(wait_for_window '^Korvex $')
check_title_bar "$main" "the main window"
place_main_window "$main"

check_calculations "$main"

step "deleting the log from the output-file window"
click_in "$main" 228 128
output=$(wait_for_window '^Output.txt$')
# Beside the main window's frame, top edges aligned.
position=$(window_position "$output")
[[ $position == "$((left + 462 + right)) 100" ]] \
    || fail "the output-file window is at $position, not right of the main window's frame"
drawn_screenshot "$output" output-window
delete_log "$output"

step "opening the About window, which OK, Esc and Tab-Tab-Space only hide"
click_in "$main" 316 128
about=$(wait_for_window '^About Korvex$')
check_title_bar "$about" "the About window"
drawn_screenshot "$about" about-window
check_about_window "$main" "$about"

step "exiting"
click_in "$main" 404 128
wait_for_exit "$KORVEX_PID"
status=0
wait "$KORVEX_PID" || status=$?
KORVEX_PID=""
((status == 0)) || fail "korvex exited with status $status: $(cat "$WORK/korvex.log")"

step "calculating on a dark desktop"
# Qt's GTK theme hands Qt the colours of the GTK theme's dark variant.
QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark QT_DEBUG_PLUGINS=1 \
    "${EMULATOR[@]}" "$KORVEX" >"$WORK/korvex-dark.log" 2>&1 &
KORVEX_PID=$!
dark=$(wait_for_window '^Korvex $')
grep -q 'platformthemes/libqgtk3.so" loaded library' "$WORK/korvex-dark.log" \
    || fail "the GTK theme was not loaded: $(grep -i gtk3 "$WORK/korvex-dark.log" | head -3)"
place_main_window "$dark"
type_6_7_4 "$dark"
drawn_screenshot "$dark" main-window-dark-typed
click_in "$dark" 52 128
drawn_screenshot "$dark" main-window-dark "$SHOTS/main-window-dark-typed.png"
differing=$(compare -metric AE "$SHOTS/main-window.png" "$SHOTS/main-window-dark.png" null: 2>&1) \
    || fail "on a dark desktop, $differing pixels of the main window differ from a light one's"
click_in "$dark" 404 128
wait_for_exit "$KORVEX_PID"
wait "$KORVEX_PID" || fail "korvex failed on a dark desktop: $(tail -3 "$WORK/korvex-dark.log")"
KORVEX_PID=""
cmp "$WORK/expected.txt" "$LOG" || fail "on a dark desktop, $LOG differs"
rm "$LOG"

# calculate_with_home HOME_VALUE PASSWORD_HOME: runs korvex from $WORK/cwd with HOME unset
# (HOME_VALUE "-") or set to HOME_VALUE, in a private mount namespace whose /etc/passwd gives
# the user PASSWORD_HOME as home folder, so that the real home is never written to; there it
# calculates 6 rows, 7 columns, length 4 and exits. Returns 2 when no namespace can be made.
calculate_with_home() {
    local home_value=$1 password_home=$2 namespace=(--mount) home_setting=(-u HOME) window korvex
    korvex=$(realpath "$KORVEX")
    ((EUID == 0)) || namespace=(--map-root-user --mount)
    [[ $home_value == - ]] || home_setting=("HOME=$home_value")
    # Inside the namespace the user is root (uid 0) either way.
    awk -F: -v OFS=: -v home="$password_home" '$3 == 0 { $6 = home } { print }' /etc/passwd \
        >"$WORK/passwd"
    # shellcheck disable=SC2016 # expanded by the inner shell
    local bind='mount --bind "$1" /etc/passwd && shift && exec "$@"'
    unshare "${namespace[@]}" bash -c "$bind" - "$WORK/passwd" true 2>/dev/null || return 2
    (cd "$WORK/cwd" && exec unshare "${namespace[@]}" bash -c "$bind" - "$WORK/passwd" \
        env "${home_setting[@]}" "${EMULATOR[@]}" "$korvex") >"$WORK/korvex-home.log" 2>&1 &
    KORVEX_PID=$!
    window=$(wait_for_window '^Korvex $')
    xdotool windowmove --sync "$window" 0 0
    enter_6_7_4 "$window"
    click_in "$window" 404 128
    wait_for_exit "$KORVEX_PID"
    wait "$KORVEX_PID" || fail "korvex failed: $(cat "$WORK/korvex-home.log")"
    KORVEX_PID=""
}

# The state of the places an unusable HOME once sent the log to: the root folder and the
# real home folder of the user.
outside_logs() {
    local real_home
    real_home=$(getent passwd "$(id -u)" | cut -d: -f6)
    stat -c '%n %s %Y' /output.txt "$real_home/output.txt" 2>&1 || true
}

step "logging with HOME unset, then with neither HOME nor the password entry usable"
# A relative HOME names a folder that exists, so that following it would show.
mkdir -p "$WORK/cwd/korvex-home" "$WORK/password-home"
outside_before=$(outside_logs)
status=0
calculate_with_home - "$WORK/password-home" || status=$?
if ((status == 2)); then
    echo "e2e: skipped the HOME checks: no private mount namespace can be made here"
else
    cmp "$WORK/expected.txt" "$WORK/password-home/output.txt" \
        || fail "with HOME unset, the log is not in the password entry's home folder"
    rm "$WORK/password-home/output.txt"
    calculate_with_home korvex-home "$WORK/no-such-home"
    stray=$(find "$WORK" -name output.txt)
    [[ -z $stray ]] || fail "korvex wrote a log where it should not: $stray"
    [[ $(outside_logs) == "$outside_before" ]] || fail "a log changed outside: $(outside_logs)"
fi

echo "e2e passed in $((SECONDS - started)) s: refused input, log of 6x7 C4, Delete Output," \
    "title bars, placement, About, Exit, a dark desktop; screenshots in $SHOTS"
