#!/usr/bin/env bash
# Runs an end-to-end test script with the system's Python (pyatspi is its) on a private Xvfb
# under openbox; for korvex on Linux, in a D-Bus session of its own with the accessibility bus
# on, so that korvex shows itself to AT-SPI as to a screen reader; with --wine without, as UI
# Automation lives inside Wine. In a PID namespace of its own where one can be made, nothing
# started here outlives the test, and Orca sees no other Orca of the user. WORK names a
# scratch folder. Exits 77, reported as skipped, when a tool is missing (under CI=true, 1).
#
# usage: session.sh [--wine] SCRIPT [ARGUMENT...]
set -euo pipefail
HERE=$(dirname "$(readlink -f "$0")")
# shellcheck source=scripts/xvfb.sh
source "$HERE/../../scripts/xvfb.sh"
readonly BUS_LAUNCHER=/usr/libexec/at-spi-bus-launcher
fail() { echo "session FAILED: $*" >&2; exit 1; }
# poll SECONDS COMMAND...: runs the command every tenth of a second until it succeeds, for up
# to SECONDS.
poll() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

if [[ ${1:-} == --inside-session ]]; then
    shift
    trap 'kill $(jobs -p) 2>/dev/null || true' EXIT
    if [[ $1 == --wine ]]; then
        shift
    else
        # The memory backend keeps the bus from starting a dconf service for anyone's settings.
        export GSETTINGS_BACKEND=memory QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb
        "$BUS_LAUNCHER" --launch-immediately >"$WORK/bus-launcher.log" 2>&1 &
        bus_up() {
            dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
                org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null \
                | grep -q 'boolean true'
        }
        poll 10 bus_up || fail "the accessibility bus did not start within 10 s"
        for property in IsEnabled ScreenReaderEnabled; do
            dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
                org.freedesktop.DBus.Properties.Set string:org.a11y.Status \
                string:$property variant:boolean:true >/dev/null
        done
    fi
    # Openbox runs its startup command once it manages windows. (It owns the display, and says
    # so on the root window, well before: a window mapped meanwhile may never be managed, nor
    # shown.) Now and then it cannot open a display that has only just started; a second try
    # can.
    wm_up() { [[ -e $WORK/openbox-running ]]; }
    for attempt in 1 2 3; do
        openbox --sm-disable --startup "touch '$WORK/openbox-running'" >"$WORK/openbox.log" 2>&1 &
        ! poll 10 wm_up || break
        kill $! 2>/dev/null || true
        ((attempt < 3)) || fail "openbox does not manage the display: $(cat "$WORK/openbox.log")"
    done
    # The scripts' compiled modules stay out of the source tree.
    PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 "$@"
    exit
fi

tools=(Xvfb openbox xdotool xprop xwininfo import compare identify /usr/bin/python3)
[[ $1 == --wine ]] || tools+=(dbus-run-session dbus-send readelf "$BUS_LAUNCHER")
[[ $1 != *orca.py ]] || tools+=(orca)
for tool in "${tools[@]}"; do
    command -v "$tool" >/dev/null || skip_missing e2e "$tool"
done
[[ $1 == --wine ]] || /usr/bin/python3 -c 'import pyatspi' 2>/dev/null \
    || skip_missing e2e python3-pyatspi

if [[ -z ${KORVEX_E2E_NAMESPACE:-} ]]; then
    for user in "" "--user --map-root-user"; do
        # shellcheck disable=SC2086 # the options are words
        if unshare $user --pid --fork --mount-proc true 2>/dev/null; then
            export KORVEX_E2E_NAMESPACE=1
            # shellcheck disable=SC2086
            exec unshare $user --pid --fork --mount-proc --kill-child bash "$0" "$@"
        fi
    done
fi

WORK=$(mktemp -d)
trap 'kill "$XVFB_PID" 2>/dev/null || true; rm -rf "$WORK"' EXIT
trap 'exit 143' INT TERM HUP
mkdir -p "$WORK/home" "$WORK/runtime"
chmod 700 "$WORK/runtime"
# Under AddressSanitizer, the whole stack of a leak is needed to tell the libraries' at exit
# from Korvex's (fuzz/lsan.supp): they keep no frame pointers.
if [[ -n ${ASAN_OPTIONS:-} ]]; then export ASAN_OPTIONS=$ASAN_OPTIONS:fast_unwind_on_malloc=0; fi
export WORK HOME=$WORK/home XDG_RUNTIME_DIR=$WORK/runtime XDG_CONFIG_HOME=$WORK/home/.config
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS WAYLAND_DISPLAY SESSION_MANAGER QT_QPA_PLATFORM
start_xvfb "$WORK" || fail "Xvfb does not start: $(cat "$WORK/xvfb.log")"
if [[ $1 == --wine ]]; then bash "$0" --inside-session "$@"; else
    dbus-run-session -- bash "$0" --inside-session "$@"; fi
