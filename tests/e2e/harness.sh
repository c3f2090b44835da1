#!/usr/bin/env bash
# The end-to-end tests' own safeguards, each case a command run in a shell that has sourced
# x11.sh, with the exit status and the message it must give:
#   - a tool that is missing skips the test, but fails it under CI=true;
#   - a command that hangs is ended at its bound, and the test fails naming it and the step;
#   - a command that ends in time gives back its own status.
#
# usage: harness.sh
set -euo pipefail
readonly X11=${BASH_SOURCE[0]%/*}/x11.sh
failures=0

# check NAME STATUS MESSAGE ENVIRONMENT... -- COMMANDS
check() {
    local name=$1 expected=$2 message=$3 environment=() status=0 output
    shift 3
    while [[ $1 != -- ]]; do environment+=("$1"); shift; done
    output=$(env -u CI "${environment[@]}" bash -c "source '$X11'; STEP=testing; $2" 2>&1) \
        || status=$?
    if ((status != expected)) || [[ $output != *"$message"* ]]; then
        echo "FAIL $name: status $status, not $expected; said: $output"
        failures=$((failures + 1))
    else
        echo "ok   $name"
    fi
}

check "missing tool, skipped" 77 "skipped: no-such-tool is not installed" \
    -- 'require_tools bash no-such-tool'
check "missing tool under CI" 1 "FAILED: no-such-tool is not installed" CI=true \
    -- 'require_tools bash no-such-tool'
check "every tool there under CI" 0 "" CI=true -- 'require_tools bash sleep'
check "a hang is ended" 1 "'sleep 30' did not finish within 1 s while testing" \
    -- 'bounded 1 sleep 30'
check "a status is kept" 3 "" -- 'bounded 5 bash -c "exit 3"'

((failures == 0)) || exit 1
echo "harness passed"
