# shellcheck shell=bash
# Sourced by the end-to-end tests' shell parts (the Linux tests' session, the Windows tests):
# driving windows on an X server under openbox with xdotool, and reading back what the
# window manager sees of them. A Windows test sets WORK (a scratch folder), SHOTS (where
# screenshots go) and KORVEX_PID, and traps EXIT with cleanup; start_wm sets WM_PID. Every
# call of the X, ImageMagick and Wine tools below has a bound of its own (see bounded), and
# so has every call of them in the tests that source this file.

fail() { echo "${TEST_NAME:-e2e}: $*" >&2; exit 1; }
step() { STEP=$1; echo "${TEST_NAME:-e2e}: $STEP"; }

STEP="setting up"
XVFB_PID="" WM_PID="" KORVEX_PID="" WORK=${WORK:-}
# Under an emulator (KORVEX_EMULATOR) every wait for korvex may take five times as long.
SLOWDOWN=1
if [[ -n ${KORVEX_EMULATOR:-} ]]; then SLOWDOWN=5; fi

# require_tools TOOL...: skips the test unless every tool is installed (see skip_missing).
require_tools() {
    local tool
    for tool; do
        command -v "$tool" >/dev/null || skip_missing "${TEST_NAME:-e2e}" "$tool"
    done
}

# bounded SECONDS COMMAND [ARGUMENT...]: runs the command and returns its status, or fails the
# test, naming the command and the step, when it has not finished within SECONDS.
bounded() {
    local seconds=$1 status=0
    shift
    timeout --kill-after=5 "$seconds" "$@" || status=$?
    if ((status == 124 || status == 137)); then
        fail "'$*' did not finish within $seconds s while $STEP"
    fi
    return "$status"
}
xdotool() { bounded 10 xdotool "$@"; }
xprop() { bounded 10 xprop "$@"; }
xwininfo() { bounded 10 xwininfo "$@"; }
import() { bounded 20 import "$@"; }
convert() { bounded 30 convert "$@"; }
identify() { bounded 30 identify "$@"; }
compare() { bounded 30 compare "$@"; }
# A new prefix's first program waits for the prefix to be updated; the installer's runs are
# the slowest of the rest. (A program meant to keep running, korvex.exe, is started with
# `command wine`: the waits for its windows and for its exit bound it.)
wine() { bounded 120 wine "$@"; }
wineboot() { bounded 180 wineboot "$@"; }
wineserver() { bounded 60 wineserver "$@"; }
winepath() { bounded 60 winepath "$@"; }

# cleanup: the test's EXIT trap. Says at which step it failed; stops what it started (Wine's
# server for a prefix in WORK, korvex, openbox, Xvfb) and removes WORK unless KEEP_WORK is set.
cleanup() {
    local status=$?
    if ((status != 0 && status != 77)); then echo "${TEST_NAME:-e2e} FAILED while $STEP" >&2; fi
    if [[ -n $WORK && ${WINEPREFIX:-} == "$WORK"/* ]]; then
        timeout 30 wineserver -k 2>/dev/null || true
    fi
    if [[ -n $KORVEX_PID ]]; then kill "$KORVEX_PID" 2>/dev/null || true; fi
    if [[ -n $WM_PID ]]; then kill "$WM_PID" 2>/dev/null || true; fi
    if [[ -n $XVFB_PID ]]; then kill "$XVFB_PID" 2>/dev/null || true; fi
    # shellcheck disable=SC2086 # unquoted, so that an empty one drops out
    wait $KORVEX_PID $WM_PID $XVFB_PID 2>/dev/null || true
    if [[ -n $WORK && -z ${KEEP_WORK:-} ]]; then rm -rf "$WORK"; fi
    exit "$status"
}

# shellcheck source=scripts/xvfb.sh
source "${BASH_SOURCE[0]%/*}/../../scripts/xvfb.sh"

start_wm() {
    local attempt i
    # Now and then it cannot open a display that has only just started; a second try can.
    for ((attempt = 0; attempt < 3; attempt++)); do
        openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
        WM_PID=$!
        # It announces itself on the root window once it manages windows.
        for ((i = 0; i < 100; i++)); do
            kill -0 "$WM_PID" 2>/dev/null || break
            if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
                return 0
            fi
            sleep 0.1
        done
        kill "$WM_PID" 2>/dev/null || true
        wait "$WM_PID" 2>/dev/null || true
        WM_PID=""
        sleep 0.5
    done
    fail "openbox does not manage the display: $(cat "$WORK/openbox.log")"
}

# windows_named NAME_REGEX [--onlyvisible]: prints the ids of the windows of that name, and
# fails when there are none. A window destroyed while xdotool walks the tree stops it with an
# X error (BadWindow), which is not "none": Wine makes and destroys windows of its own as a
# program starts and ends, so it looks again.
windows_named() {
    local ids attempt
    for ((attempt = 0; attempt < 20; attempt++)); do
        if ids=$(xdotool search "${@:2}" --name "$1" 2>"$WORK/xdotool.log"); then
            echo "$ids"
            return 0
        fi
        ! grep -q 'did not finish' "$WORK/xdotool.log" || fail "$(cat "$WORK/xdotool.log")"
        grep -q 'X Error' "$WORK/xdotool.log" || return 1
        sleep 0.1
    done
    fail "xdotool cannot look for '$1': $(cat "$WORK/xdotool.log")"
}

# poll SECONDS COMMAND [ARGUMENT...]: runs the command every tenth of a second until it
# succeeds, for up to SECONDS (times SLOWDOWN); returns 1 when it never did, with the seconds
# waited in $waited, for the caller's message.
poll() {
    local deadline
    waited=$(($1 * SLOWDOWN))
    deadline=$((SECONDS + waited))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

# wait_for_window NAME_REGEX: prints the id of the first visible window of that name.
wait_for_window() {
    local ids
    shown() { ids=$(windows_named "$1" --onlyvisible); }
    poll 15 shown "$1" || fail "no window '$1' was shown within $waited s"
    echo "${ids%%$'\n'*}"
}

# wait_gone NAME_REGEX: waits until no window of that name is visible.
wait_gone() {
    hidden() { ! windows_named "$1" --onlyvisible >/dev/null; }
    poll 5 hidden "$1" || fail "the window '$1' was still visible after $waited s"
}

# wait_for_file FILE: waits until FILE has something in it.
wait_for_file() { poll 5 test -s "$1" || fail "nothing was written to $1 within $waited s"; }

# wait_for_size WINDOW WIDTHxHEIGHT: waits until the window's own area has that size.
wait_for_size() {
    local size
    sized() {
        size=$(xdotool getwindowgeometry "$1" | sed -n 's/.*Geometry: //p')
        [[ $size == "$2" ]]
    }
    poll 5 sized "$1" "$2" || fail "the window is $size, not $2, after $waited s"
}

# The X server takes the pointer's move and the click in the order they come, so the click
# lands where the pointer went; what a click brings about is waited for by what follows it.
click_in() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
press_key() { timeout 5 xdotool windowfocus --sync "$1" key "$2" || fail "cannot press $2"; }

same_pixels() { [[ $(compare -metric AE "$1" "$2" null: 2>&1) == 0 ]]; }

# drawn_screenshot WINDOW NAME [UNLIKE]: takes the screenshot NAME.png once the window is
# drawn: when two takes in a row are the same and show more than one colour, and, given the
# screenshot UNLIKE of the state before, differ from that.
drawn_screenshot() {
    local take=$WORK/take.png last=$WORK/last-take.png seconds=$((10 * SLOWDOWN)) deadline
    deadline=$((SECONDS + seconds))
    rm -f "$last"
    while :; do
        import -window "$1" "$take" || fail "cannot take $2.png"
        if [[ -f $last ]] && same_pixels "$take" "$last" \
            && (($(identify -format %k "$take") > 1)) \
            && { [[ -z ${3:-} ]] || ! same_pixels "$take" "$3"; }; then
            mv "$take" "$SHOTS/$2.png"
            return 0
        fi
        ((SECONDS < deadline)) || fail "the window was not drawn for $2.png within $seconds s"
        mv "$take" "$last"
    done
}

# window_position WINDOW: prints the screen position of the window's own area. (xdotool's
# getwindowgeometry counts the frame's offset twice under a window manager.)
window_position() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
        END {print x, y}'
}

# window_size WINDOW: prints the size of the window's own area as WIDTHxHEIGHT.
window_size() { xwininfo -id "$1" | awk '/Width:/ {w = $NF} /Height:/ {h = $NF} END {print w "x" h}'; }

# ui_size UI_FILE: prints the size of a window as its .ui file stores it, as WIDTHxHEIGHT.
ui_size() {
    sed -n 's/.*<\(width\|height\)>\([0-9]*\)<.*/\2/p' "${BASH_SOURCE[0]%/*}/../../$1" \
        | head -n 2 | paste -sd x
}

# frame_extents WINDOW: prints the left, right, top and bottom widths of its frame.
frame_extents() { xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.* = //; s/,//g'; }

# check_title_bar WINDOW DESCRIPTION: the window asks for a title bar with a close box only,
# and the window manager offers to close it but not to maximise it. (Openbox offers to
# minimise every window it decorates, whatever the window asks for.)
check_title_bar() {
    local hints flags functions decorations actions
    hints=$(xprop -id "$1" _MOTIF_WM_HINTS)
    read -r flags functions decorations _ <<<"$(sed 's/.* = //; s/,//g' <<<"$hints")"
    # functions: 0x08 minimise, 0x10 maximise, 0x20 close; decorations: 0x08 title bar,
    # 0x20 minimise box, 0x40 maximise box
    (((flags & 3) == 3 && (functions & 0x38) == 0x20 && (decorations & 0x68) == 0x08)) \
        || fail "$2 does not ask for a close box only: $hints"
    actions=$(xprop -id "$1" _NET_WM_ALLOWED_ACTIONS)
    [[ $actions == *_NET_WM_ACTION_CLOSE* && $actions != *_NET_WM_ACTION_MAXIMIZE* ]] \
        || fail "the window manager offers $2 more than closing: $actions"
}

# Presses Enter on the message box (titled "Korvex", no blank) and checks that it goes away.
dismiss_message() {
    local box
    box=$(wait_for_window '^Korvex$')
    check_title_bar "$box" "the message box"
    press_key "$box" Return
    wait_gone '^Korvex$'
}

# delete_log OUTPUT_WINDOW: presses Delete Output in the output-file window, dismisses its
# message, checks that the log file $LOG is gone and closes the window.
delete_log() {
    click_control "$1" Output.txt "Delete Output"
    dismiss_message
    [[ ! -e $LOG ]] || fail "$LOG still exists after Delete Output"
    click_control "$1" Output.txt Return
    wait_gone '^Output.txt$'
}

# type_6_7_4 WINDOW: types 6 rows, 7 columns and a connection length of 4 into the main
# window's boxes.
type_6_7_4() {
    type_into "$1" "Korvex " "Rows M" 6
    type_into "$1" "Korvex " "Columns N" 7
    type_into "$1" "Korvex " "Connection length C" 4
}

# enter_6_7_4 WINDOW: types 6, 7 and 4 into the main window's boxes and presses Calculate.
enter_6_7_4() {
    type_6_7_4 "$1"
    click_control "$1" "Korvex " Calculate
}

# place_main_window WINDOW: moves the main window's frame to the left edge, 100 pixels down,
# with room on its right for the output-file window, and checks that its own area is
# the size app/form1.ui gives it. Sets left, right and top to the widths of its frame.
place_main_window() {
    local geometry
    read -r left right top _ <<<"$(frame_extents "$1")"
    xdotool windowmove "$1" "$left" $((100 + top))
    placed() { [[ $(window_position "$1") == "$left $((100 + top))" ]]; }
    poll 5 placed "$1" || true
    geometry=$(xdotool getwindowgeometry "$1")
    [[ $(window_position "$1") == "$left $((100 + top))" \
        && $geometry == *"Geometry: $(ui_size app/form1.ui)"* ]] \
        || fail "main window is not as app/form1.ui gives it, in a frame at 0,100:" \
            "$(window_position "$1") $geometry"
}

# check_about_window MAIN ABOUT: OK (which has the first focus), Esc and Tab-Tab-Space only
# hide the About window, and Info shows the same one again; its close box destroys it, and
# Info then makes a new one, which Esc hides.
check_about_window() {
    local main=$1 about=$2 keys key x y top again
    for keys in space Escape "Tab Tab space"; do
        for key in $keys; do press_key "$about" "$key"; done
        wait_gone '^About Korvex$'
        [[ $(windows_named '^About Korvex$') == "$about" ]] \
            || fail "'$keys' did not only hide the About window"
        click_control "$main" "Korvex " Info
        [[ $(wait_for_window '^About Korvex$') == "$about" ]] \
            || fail "Info after '$keys' did not show the same About window"
    done

    step "closing the About window with its close box"
    read -r x y <<<"$(window_position "$about")"
    read -r _ _ top _ <<<"$(frame_extents "$about")"
    # The close box is the rightmost in openbox's title bar.
    xdotool mousemove $((x + $(window_size "$about" | cut -d x -f 1) - 10)) $((y - top / 2)) \
        click 1
    destroyed() { ! windows_named '^About Korvex$' >/dev/null; }
    poll 5 destroyed || fail "the close box did not destroy the About window within $waited s"
    click_control "$main" "Korvex " Info
    again=$(wait_for_window '^About Korvex$')
    [[ $again != "$about" ]] || fail "Info after the close box showed the old About window"
    press_key "$again" Escape
    wait_gone '^About Korvex$'
}

# check_calculations MAIN: Calculate with the boxes at 0 is refused and logs nothing; with 6,
# 7 and 4 it appends exactly their record to the log file $LOG, which must not exist before,
# and leaves it in $WORK/expected.txt; the main window is then in $SHOTS/main-window.png.
check_calculations() {
    step "calculating with no input"
    click_control "$1" "Korvex " Calculate
    dismiss_message
    [[ ! -e $LOG ]] || fail "a refused calculation wrote $LOG"

    step "calculating 6 rows, 7 columns, length 4"
    type_6_7_4 "$1"
    drawn_screenshot "$1" main-window-typed
    click_control "$1" "Korvex " Calculate
    wait_for_file "$LOG"
    printf '"Columns:",6\r\n"Rows:",7\r\n"Connection Length:",4\r\n\r\n' >"$WORK/expected.txt"
    cmp "$WORK/expected.txt" "$LOG" || fail "$LOG differs: $(od -c "$LOG" 2>&1 | head -5)"
    drawn_screenshot "$1" main-window "$SHOTS/main-window-typed.png"
}
