#!/usr/bin/env bash
# Runs an end-to-end test script with the system's Python on a private Xvfb under openbox,
# inside a D-Bus session of its own with the accessibility bus on, so that korvex shows itself
# to AT-SPI as it does to a screen reader. In a PID namespace of its own, where one can be
# made, nothing started here outlives the test, and Orca sees no other Orca of the user.
#
# usage: session.sh SCRIPT [ARGUMENT...]
# Exits 77, reported as skipped, when a tool is missing; under CI=true that fails instead.
set -euo pipefail
HERE=$(dirname "$(readlink -f "$0")")
# shellcheck source=tests/e2e/x11.sh
source "$HERE/x11.sh"
# pyatspi belongs to the system's Python, not to whichever python3 comes first in PATH.
PYTHON=/usr/bin/python3
[[ -x $PYTHON ]] || PYTHON=python3
readonly BUS_LAUNCHER=/usr/libexec/at-spi-bus-launcher

if [[ ${1:-} == --inside-session ]]; then
    shift
    trap 'kill $(jobs -p) 2>/dev/null || true' EXIT
    # The memory backend keeps the bus from starting a dconf service for anyone's settings.
    export GSETTINGS_BACKEND=memory QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb
    "$BUS_LAUNCHER" --launch-immediately >"$WORK/bus-launcher.log" 2>&1 &
    bus_up() {
        dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
            org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null \
            | grep -q 'boolean true'
    }
    poll 10 bus_up || fail "the accessibility bus did not start within $waited s"
    for property in IsEnabled ScreenReaderEnabled; do
        dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
            org.freedesktop.DBus.Properties.Set string:org.a11y.Status \
            string:$property variant:boolean:true >/dev/null
    done
    start_wm
    # The scripts' compiled modules stay out of the source tree.
    PYTHONDONTWRITEBYTECODE=1 "$PYTHON" "$@"
    exit
fi

for tool in Xvfb openbox xdotool xprop xwininfo import compare identify dbus-run-session \
    dbus-send readelf; do
    command -v "$tool" >/dev/null || skip_missing e2e "$tool"
done
[[ -x $BUS_LAUNCHER ]] || skip_missing e2e at-spi2-core
[[ $1 != *orca.py ]] || command -v orca >/dev/null || skip_missing e2e orca
"$PYTHON" -c 'import pyatspi' 2>/dev/null || skip_missing e2e python3-pyatspi

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
start_xvfb "$WORK" || { echo "Xvfb does not start: $(cat "$WORK/xvfb.log")" >&2; exit 1; }
dbus-run-session -- bash "$0" --inside-session "$@"
