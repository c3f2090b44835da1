# shellcheck shell=bash
# Sourced by the scripts that run programs on an X server of their own, and by the tests.

# start_xvfb FOLDER: starts Xvfb on a display that the server picks itself, so that two runs
# can never take the same one, and returns once it accepts clients. Sets DISPLAY and
# XVFB_PID; the server's messages go to FOLDER/xvfb.log. Fails if the server does not start.
start_xvfb() {
    local i
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
        3>"$1/display" 2>"$1/xvfb.log" &
    XVFB_PID=$!
    for ((i = 0; i < 200; i++)); do
        [[ -s $1/display ]] && break
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.05
    done
    [[ -s $1/display ]] || return 1
    DISPLAY=":$(<"$1/display")"
    export DISPLAY
}

# skip_missing TEST TOOL: a test that cannot run for want of TOOL is skipped (exit 77), but
# under CI=true it fails: a CI machine without it lacks an install step of scripts/setup.sh.
skip_missing() {
    if [[ ${CI:-} == true ]]; then
        echo "$1 FAILED: $2 is not installed, and CI must run every test" >&2
        exit 1
    fi
    echo "$1 skipped: $2 is not installed"
    exit 77
}
