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
