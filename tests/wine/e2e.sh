#!/usr/bin/env bash
# Drives the real korvex.exe under Wine, in a new prefix, on a private Xvfb under openbox, the
# way the Linux end-to-end test drives korvex: a refused Calculate, a real one and its log
# C:/output.txt (read in the prefix's drive_c), the output-file window, the About window, Exit.
# Every button caption is read back from the screen and must be the whole caption as Windows
# itself draws it in MS Sans Serif, and each window read through UI Automation must show its
# controls named and placed as its stored layout has them. Then two processes append 500
# records each to the log at once, and a full disk cuts one append short.
#
# Usage: e2e.sh KORVEX_EXE CAPTIONINK_EXE APPENDRECORDS_EXE UIAWALK_EXE SCREENSHOT_FOLDER
set -euo pipefail

readonly KORVEX=$1 CAPTIONINK=$2 APPENDRECORDS=$3 UIAWALK=$4 SHOTS=$5
readonly HERE=${BASH_SOURCE[0]%/*}

# shellcheck source=tests/e2e/x11.sh
source "$HERE/../e2e/x11.sh"
trap cleanup EXIT
trap 'exit 143' INT TERM HUP

# shellcheck source=tests/wine/captions.sh
source "$HERE/captions.sh"
# shellcheck source=tests/wine/uia.sh
source "$HERE/uia.sh"

# check_records FILE WRITERS...: the file holds whole records only, and those of each writer
# (its rows) in order: columns 1, 2, 3 and so on. Prints how many records each writer has.
check_records() {
    local file=$1
    shift
    [[ ! -s $file || $(tail -c 4 "$file" | od -An -c | tr -d ' ') == '\r\n\r\n' ]] \
        || fail "$file does not end with a whole record"
    awk -v writers="$*" '
        BEGIN { n = split(writers, list, " "); for (i = 1; i <= n; ++i) next_column[list[i]] = 1 }
        function broken() { printf "broken record at line %d: %s\n", NR, $0; failed = 1; exit 1 }
        {
            line = (NR - 1) % 4
            if (line == 0) {
                if (!match($0, /^"Columns:",[0-9]+\r$/)) broken()
                writer = substr($0, 12, length($0) - 12)
                if (!(writer in next_column)) broken()
            } else if (line == 1) {
                if ($0 != "\"Rows:\"," next_column[writer] "\r") broken()
            } else if (line == 2) {
                if ($0 != "\"Connection Length:\",4\r") broken()
            } else {
                if ($0 != "\r") broken()
                ++next_column[writer]
            }
        }
        END {
            if (failed) exit 1
            if (NR % 4) { print "the last record is cut short"; exit 1 }
            for (i = 1; i <= n; ++i) printf "%d ", next_column[list[i]] - 1
        }' "$file"
}

require_tools wine wineboot wineserver winepath Xvfb openbox xdotool xprop xwininfo import \
    convert identify cmp python3

started=$SECONDS
WORK=$(mktemp -d)
mkdir -p "$SHOTS"
rm -f "$SHOTS"/*.png

step "making a new Wine prefix"
bash "$HERE/prefix.sh" "$WORK/wine"
export WINEPREFIX=$WORK/wine WINEDEBUG=-all
# Kept running, so that no Wine process of this test has to start it.
wineserver --persistent
readonly LOG=$WINEPREFIX/drive_c/output.txt

start_xvfb "$WORK" || fail "Xvfb does not start: $(cat "$WORK/xvfb.log")"
start_wm

step "starting korvex.exe on $DISPLAY"
command wine "$KORVEX" >"$WORK/korvex.log" 2>&1 &
KORVEX_PID=$!
main=$(wait_for_window '^Korvex $')
check_title_bar "$main" "the main window"
place_main_window "$main"

step "reading the main window's captions"
draw_references Calculate Clear Output.txt Info Exit "View Output" "Delete Output" Return OK
drawn_screenshot "$main" main-window-start
for caption in Calculate Clear Output.txt Info Exit; do
    caption_at "$SHOTS/main-window-start.png" "Korvex " "$caption"
done

check_calculations "$main"
uia_check "Korvex " app/form1.ui 100 24 21 12 69

step "deleting the log from the output-file window"
click_control "$main" "Korvex " Output.txt
output=$(wait_for_window '^Output.txt$')
# Beside the main window, clear of its area, the top edges aligned as Windows has the frame.
# Openbox draws the frame on the screen; Wine reckons one as Windows would draw it, at most 8
# pixels wide beside the window's area and 40 high above it.
read -r x y <<<"$(window_position "$output")"
main_width=$(window_size "$main" | cut -d x -f 1)
((x > left + main_width - 1 && x <= left + main_width + 8 && y >= 100 + top - 40 && y <= 100 + top)) \
    || fail "the output-file window is at $x,$y, not right of the main window"
drawn_screenshot "$output" output-window
for caption in "View Output " "Delete Output" Return; do
    caption_at "$SHOTS/output-window.png" Output.txt "$caption"
done
uia_check Output.txt output_window/form2.ui 100
delete_log "$output"

step "opening the About window, which OK, Esc and Tab-Tab-Space only hide"
click_control "$main" "Korvex " Info
about=$(wait_for_window '^About Korvex$')
check_title_bar "$about" "the About window"
drawn_screenshot "$about" about-window
caption_at "$SHOTS/about-window.png" "About Korvex" OK
uia_check "About Korvex" about/frmabout.ui 100
check_about_window "$main" "$about"

step "exiting"
click_control "$main" "Korvex " Exit
timeout 10 tail --pid="$KORVEX_PID" -f /dev/null || fail "korvex.exe is still running after Exit"
status=0
wait "$KORVEX_PID" || status=$?
KORVEX_PID=""
((status == 0)) || fail "korvex.exe exited with status $status: $(cat "$WORK/korvex.log")"

step "appending 500 records from each of two processes at once"
wine "$APPENDRECORDS" 1 500 &
second=$!
wine "$APPENDRECORDS" 2 500
wait "$second"
counts=$(check_records "$LOG" 1 2) || fail "C:/output.txt: $counts"
[[ $counts == "500 500 " ]] || fail "C:/output.txt holds $counts records, not 500 of each"
concurrent_size=$(stat -c %s "$LOG")

step "appending to a full disk"
# A file-size limit stands in for a full disk, some hundreds of bytes beyond the log, so that
# some record is cut short. Its signal is ignored, so that the write fails instead.
limit_kib=$(((concurrent_size + 500) / 1024 + 1))
status=0
(
    trap '' XFSZ
    ulimit -f "$limit_kib"
    wine "$APPENDRECORDS" 3 100
) 2>"$WORK/full.log" || status=$?
((status == 1)) || fail "the append on a full disk did not fail: $status $(cat "$WORK/full.log")"
counts=$(check_records "$LOG" 1 2 3) || fail "C:/output.txt after the full disk: $counts"
read -r _ _ written <<<"$counts"
room=$((limit_kib * 1024 - $(stat -c %s "$LOG")))
((written > 0 && room > 0)) || fail "no record was cut short: $written written, $room bytes free"

echo "e2e passed in $((SECONDS - started)) s: captions whole, refused input, the three windows" \
    "as laid out to UI Automation, C:/output.txt of" \
    "6x7 C4, Delete Output, title bars, placement, About, Exit, 2 x 500 appends at once" \
    "($concurrent_size bytes), a full disk ($written records, then $room bytes left unwritten);" \
    "screenshots in $SHOTS"
