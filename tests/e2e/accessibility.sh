#!/usr/bin/env bash
# Korvex as a screen-reader user meets it: the real korvex on a private Xvfb, inside its own
# D-Bus session with the accessibility bus, checked through AT-SPI by accessibility.py, and
# then, when Orca can run here, with Orca speaking into its debug log.
#
# Usage: accessibility.sh KORVEX_EXECUTABLE [PLACES_FILE]
# With PLACES_FILE, the window, role, name and place of every control go there, a line each.
# Exits 77 (skipped) when Xvfb, D-Bus, the AT-SPI bus, pyatspi, Orca or xdotool is missing;
# under CI=true that fails instead.
set -euo pipefail

INSIDE_SESSION=false
if [[ ${1:-} == --inside-session ]]; then INSIDE_SESSION=true; shift; fi
KORVEX=$(readlink -f "$1")
PLACES=""
if [[ -n ${2:-} ]]; then
    mkdir -p "$(dirname "$2")"
    PLACES=$(readlink -f "$2")
fi
HERE=$(dirname "$(readlink -f "$0")")
readonly KORVEX HERE
# shellcheck source=scripts/xvfb.sh
source "$HERE/../../scripts/xvfb.sh"
# pyatspi belongs to the system's Python, not to whichever python3 comes first in PATH.
PYTHON=/usr/bin/python3
[[ -x $PYTHON ]] || PYTHON=python3
readonly PYTHON BUS_LAUNCHER=/usr/libexec/at-spi-bus-launcher

if ! $INSIDE_SESSION; then
    for tool in Xvfb xdotool dbus-run-session dbus-send orca; do
        command -v "$tool" >/dev/null || skip_missing accessibility "$tool"
    done
    [[ -x $BUS_LAUNCHER ]] || skip_missing accessibility at-spi2-core
    "$PYTHON" -c 'import pyatspi' 2>/dev/null || skip_missing accessibility python3-pyatspi
    [[ -x $KORVEX ]] || { echo "$KORVEX is not an executable" >&2; exit 1; }

    # In a PID namespace of its own nothing started here can outlive the test, and Orca, which
    # refuses to start beside another Orca of the same user, sees only its own. Where no
    # namespace can be made, the test stops what it started by process id.
    if [[ -z ${KORVEX_A11Y_NAMESPACE:-} ]]; then
        for user in "" "--user --map-root-user"; do
            # shellcheck disable=SC2086 # the options are words
            if unshare $user --pid --fork --mount-proc true 2>/dev/null; then
                export KORVEX_A11Y_NAMESPACE=1
                # shellcheck disable=SC2086
                exec unshare $user --pid --fork --mount-proc --kill-child bash "$0" "$@"
            fi
        done
    fi
fi

PIDS=()
WORK=${WORK:-}
descendants() {
    local child
    for child in $(ps -o pid= --ppid "$1" 2>/dev/null); do
        descendants "$child"
        echo "$child"
    done
}
stop_started() {
    local pid all=() below i
    for pid in "${PIDS[@]}"; do
        mapfile -t below < <(descendants "$pid")
        all+=("${below[@]}" "$pid")
    done
    ((${#all[@]})) || return 0
    kill -TERM "${all[@]}" 2>/dev/null || true
    # Those that have not ended 3 s later are killed.
    for ((i = 0; i < 30; i++)); do
        kill -0 "${all[@]}" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -KILL "${all[@]}" 2>/dev/null || true
}

if $INSIDE_SESSION; then
    # Runs inside dbus-run-session, with DISPLAY, HOME and WORK set by the outer part.
    trap stop_started EXIT
    # The memory backend keeps the bus from starting a dconf service for anyone's settings.
    export GSETTINGS_BACKEND=memory
    "$BUS_LAUNCHER" --launch-immediately >"$WORK/bus-launcher.log" 2>&1 &
    PIDS+=($!)
    for ((i = 0; i < 100; i++)); do
        dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
            org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null \
            | grep -q 'boolean true' && break
        sleep 0.1
    done
    ((i < 100)) || { echo "the accessibility bus did not start" >&2; exit 1; }
    for property in IsEnabled ScreenReaderEnabled; do
        dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
            org.freedesktop.DBus.Properties.Set string:org.a11y.Status \
            string:$property variant:boolean:true >/dev/null
    done
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb
    "$PYTHON" "$HERE/accessibility.py" "$KORVEX" "$WORK" ${PLACES:+"$PLACES"}
    exit
fi

cleanup() {
    local status=$?
    stop_started
    if [[ -n $WORK ]]; then rm -rf "$WORK"; fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 143' INT TERM HUP

started=$SECONDS
WORK=$(mktemp -d)
mkdir -p "$WORK/home" "$WORK/runtime"
chmod 700 "$WORK/runtime"
export WORK HOME=$WORK/home XDG_RUNTIME_DIR=$WORK/runtime XDG_CONFIG_HOME=$WORK/home/.config
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS WAYLAND_DISPLAY SESSION_MANAGER QT_QPA_PLATFORM

start_xvfb "$WORK" || { echo "Xvfb does not start: $(cat "$WORK/xvfb.log")" >&2; exit 1; }
PIDS+=("$XVFB_PID")

timeout 90 dbus-run-session -- bash "$0" --inside-session "$KORVEX" ${PLACES:+"$PLACES"} &
PIDS+=($!)
status=0
wait "${PIDS[-1]}" || status=$?
((status == 0)) || { echo "accessibility check FAILED (status $status)" >&2; exit "$status"; }
echo "accessibility check passed in $((SECONDS - started)) s"
