# shellcheck shell=bash
# Sourced by the Windows end-to-end tests: a window read through UI Automation, as a Windows
# screen reader reads it (korvex_uiawalk), and checked against its stored layout
# (uiatree.py). The test sets UIAWALK and SHOTS.

# uia_check TITLE UI_FILE PERCENT [NUMBER...]: the window TITLE, at a display scaling of
# PERCENT, shows UI Automation its controls as UI_FILE (from the tree's top) lays them out;
# with NUMBERS, its results carry them. What UI Automation showed, and the checks, are kept
# beside the screenshots.
uia_check() {
    local title=$1 ui=$HERE/../../$2 percent=$3 walk
    shift 3
    walk=$SHOTS/uia-$(printf %s "$title" | tr -c 'A-Za-z0-9.' _)-$percent.txt
    wine "$UIAWALK" "$title" >"$walk" 2>"$walk.errors" </dev/null \
        || fail "UI Automation cannot read the window '$title': $(cat "$walk.errors")"
    bounded 30 python3 "$HERE/uiatree.py" "$ui" "$percent" "$walk" "$@" >"$walk.checked" \
        || fail "UI Automation shows '$title' at $percent % unlike its layout:" \
            "$(cat "$walk.checked")"
    echo "${TEST_NAME:-e2e}: UI Automation shows '$title' at $percent % as laid out:" \
        "$(grep -c '^ok:' "$walk.checked") checks"
}

# uia_place TITLE CONTROL_TYPE NAME: prints the left, top, width and height, from the window's
# own area, of the one element of that type and name that UI Automation shows in the window.
# A window's layout is fixed, so one walk of it serves until uia_forget.
uia_place() {
    local walk place
    walk=$WORK/walk-$(printf %s "$1" | tr -c 'A-Za-z0-9.' _)
    [[ -s $walk ]] || wine "$UIAWALK" "$1" </dev/null >"$walk" 2>/dev/null || rm -f "$walk"
    place=$(awk -F'\t' -v type="$2" -v name="$3" '$1 == type && $2 == name { place = $3; ++found }
        END { print place; exit found != 1 }' "$walk" 2>/dev/null) \
        || fail "UI Automation shows no one $2 '$3' in '$1'"
    echo "$place"
}

# uia_forget: the next uia_place walks its window again (at another display scaling, say).
uia_forget() { rm -f "$WORK"/walk-*; }

# click_control WINDOW TITLE NAME [CONTROL_TYPE]: clicks the middle of the button (or the
# element of that control type) NAME of the window.
click_control() {
    local x y width height
    read -r x y width height <<<"$(uia_place "$2" "${4:-Button}" "$3")"
    click_in "$1" $((x + width / 2)) $((y + height / 2))
}

# type_into WINDOW TITLE NAME TEXT: replaces the text of the box NAME of the window.
type_into() {
    click_control "$1" "$2" "$3" Edit
    # The keys go to the window that has the focus: the window manager gives it on the click.
    xdotool windowfocus --sync "$1" key ctrl+a
    xdotool type --delay 30 "$4"
}

# caption_at SCREENSHOT TITLE NAME [PERCENT]: the caption of the button NAME, where UI
# Automation shows it, is drawn whole in the screenshot of the window TITLE.
caption_at() {
    local place
    read -ra place <<<"$(uia_place "$2" Button "$3")"
    caption_is_whole "$1" "${place[@]}" "${3% }" "${4:-100}"
}
