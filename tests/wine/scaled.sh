#!/usr/bin/env bash
# korvex.exe under Wine at the display scalings of Windows given, in percent, in a new prefix
# whose display is given as many dots per inch (LogPixels) in turn, on a private Xvfb under
# openbox: the main window must grow with the scaling, every caption stay whole as Windows
# draws it at that size, and 6, 7 and 4 typed at the scaled places and calculated must be
# printed and logged; and the three windows read through UI Automation must show their
# controls where their stored layouts put them, scaled.
#
# Usage: scaled.sh KORVEX_EXE CAPTIONINK_EXE UIAWALK_EXE SCREENSHOT_FOLDER PERCENT...
set -euo pipefail

readonly KORVEX=$1 CAPTIONINK=$2 UIAWALK=$3 SHOTS=$4
shift 4
readonly HERE=${BASH_SOURCE[0]%/*}
TEST_NAME=scaled

# shellcheck source=tests/e2e/x11.sh
source "$HERE/../e2e/x11.sh"
trap cleanup EXIT
trap 'exit 143' INT TERM HUP

# shellcheck source=tests/wine/captions.sh
source "$HERE/captions.sh"
# shellcheck source=tests/wine/uia.sh
source "$HERE/uia.sh"

require_tools wine wineboot wineserver winepath Xvfb openbox xdotool xprop xwininfo import \
    convert identify cmp python3

started=$SECONDS
WORK=$(mktemp -d)
mkdir -p "$SHOTS"
start_xvfb "$WORK" || fail "Xvfb does not start: $(cat "$WORK/xvfb.log")"
start_wm
printf '"Columns:",6\r\n"Rows:",7\r\n"Connection Length:",4\r\n\r\n' >"$WORK/expected.txt"

step "making a new Wine prefix"
bash "$HERE/prefix.sh" "$WORK/wine"
export WINEPREFIX=$WORK/wine WINEDEBUG=-all
log=$WINEPREFIX/drive_c/output.txt

seen=()
for percent in "$@"; do
    # scaled N: N pixels at 100 %, at this scaling.
    scaled() { echo $((($1 * percent + 50) / 100)); }

    step "setting the display to $percent %"
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
        /d $((96 * percent / 100)) /f >/dev/null
    wineserver --wait
    wineserver --persistent
    rm -rf "$WORK/reference" "$log"
    uia_forget

    step "starting korvex.exe at $percent %"
    command wine "$KORVEX" >"$WORK/korvex-$percent.log" 2>&1 &
    KORVEX_PID=$!
    main=$(wait_for_window '^Korvex $')
    xdotool windowmove --sync "$main" 0 0
    read -r width height <<<"$(ui_size app/form1.ui | tr x ' ')"
    wait_for_size "$main" "$(scaled "$width")x$(scaled "$height")"

    step "reading the captions at $percent %"
    draw_references Calculate Clear Output.txt Info Exit 0 1 2 3 4 5 6 7 8 9
    drawn_screenshot "$main" "main-window-$percent-start"
    for caption in Calculate Clear Output.txt Info Exit; do
        caption_at "$SHOTS/main-window-$percent-start.png" "Korvex " "$caption" "$percent"
    done

    step "calculating 6 rows, 7 columns, length 4 at $percent %"
    type_6_7_4 "$main"
    drawn_screenshot "$main" "main-window-$percent-typed"
    click_control "$main" "Korvex " Calculate
    wait_for_file "$log"
    cmp "$WORK/expected.txt" "$log" || fail "at $percent %, C:/output.txt differs"
    drawn_screenshot "$main" "main-window-$percent" "$SHOTS/main-window-$percent-typed.png"
    # Above the button row: the frame's caption lies further down.
    # The printed lines lie left of the boxes' labels and above the button row's frame.
    read -r labels _ <<<"$(uia_place "Korvex " Text "Rows M")"
    read -r _ frame _ <<<"$(uia_place "Korvex " Group Control)"
    numbers_are_printed "$SHOTS/main-window-$percent.png" "$percent" "$labels" "$frame" \
        24 21 12 69

    step "reading the three windows through UI Automation at $percent %"
    uia_check "Korvex " app/form1.ui "$percent" 24 21 12 69
    # Each window is hidden again before the next button is pressed: on a small screen it may
    # lie over the main window.
    click_control "$main" "Korvex " Info
    about=$(wait_for_window '^About Korvex$')
    uia_check "About Korvex" about/frmabout.ui "$percent"
    press_key "$about" Escape
    wait_gone '^About Korvex$'
    click_control "$main" "Korvex " Output.txt
    output=$(wait_for_window '^Output.txt$')
    uia_check Output.txt output_window/form2.ui "$percent"
    click_control "$output" Output.txt Return
    wait_gone '^Output.txt$'

    click_control "$main" "Korvex " Exit
    timeout 10 tail --pid="$KORVEX_PID" -f /dev/null || fail "korvex.exe is still running after Exit"
    wait "$KORVEX_PID" || fail "korvex.exe failed at $percent %: $(cat "$WORK/korvex-$percent.log")"
    KORVEX_PID=""
    wineserver -k
    seen+=("$percent % $(scaled "$width")x$(scaled "$height")")
done

echo "scaled passed in $((SECONDS - started)) s: ${seen[*]/%/,} captions whole, 24, 21, 12 and" \
    "69 printed and C:/output.txt logged at each, the three windows as laid out to UI" \
    "Automation; screenshots in $SHOTS"
