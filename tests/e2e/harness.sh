#!/usr/bin/env bash
# The end-to-end driver's own safeguards, each case Python run with the driver imported, with
# the exit status and the message it must give:
#   - a tool that is missing skips the test, but fails it under CI=true;
#   - a command that hangs is ended at its bound, and a wait that is never met ends at its
#     bound, each saying what it waited for.
#
# usage: harness.sh
set -euo pipefail
readonly HERE=${BASH_SOURCE[0]%/*}
failures=0

# check NAME STATUS MESSAGE ENVIRONMENT... -- PYTHON
check() {
    local name=$1 expected=$2 message=$3 environment=() status=0 output
    shift 3
    while [[ $1 != -- ]]; do environment+=("$1"); shift; done
    output=$(env -u CI "${environment[@]}" PYTHONDONTWRITEBYTECODE=1 PYTHONPATH="$HERE" \
        python3 -c "from driver import *; $2" 2>&1) || status=$?
    if ((status != expected)) || [[ $output != *"$message"* ]]; then
        echo "FAIL $name: status $status, not $expected; said: $output"
        failures=$((failures + 1))
    else
        echo "ok   $name"
    fi
}

check "missing tool, skipped" 77 "skipped: no-such-tool is not installed" \
    -- 'need("bash", "no-such-tool")'
check "missing tool under CI" 1 "FAILED: no-such-tool is not installed" CI=true \
    -- 'need("bash", "no-such-tool")'
check "every tool there under CI" 0 "" CI=true -- 'need("bash", "sleep")'
check "a hang is ended" 1 "'sleep 30' did not finish within 1 s" -- 'run("sleep", "30", seconds=1)'
check "a wait is bounded" 1 "waited 1 s for the sky to fall" \
    -- 'wait_until(1, lambda: False, "the sky to fall")'

((failures == 0)) || exit 1
echo "harness passed"
