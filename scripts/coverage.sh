#!/usr/bin/env bash
# Prints the line and branch coverage of calc/, runtime/ and log/, file by file and for each
# folder, from the counts that the test suite left in build-asan/ when scripts/sanitize.sh
# --coverage built and ran it there.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-asan
if ! find "$build" -name '*.gcda' -print -quit 2>/dev/null | grep -q .; then
    echo "FAIL: no coverage counts in $build/; run scripts/sanitize.sh --coverage first" >&2
    exit 1
fi

# The tracefile is written once; the reports below read it instead of running gcov again.
# CMake's compiler check leaves a .gcno behind that has no source to go with it.
gcovr --root . --object-directory "$build" \
    --exclude-directories "$build/CMakeFiles/" \
    --exclude-throw-branches --exclude-unreachable-branches \
    --filter 'calc/' --filter 'runtime/' --filter 'log/' \
    --json "$build/coverage.json"

report() { gcovr --root . --add-tracefile "$build/coverage.json" "$@"; }

echo "== lines"
report --filter 'calc/' --filter 'runtime/' --filter 'log/' --txt
echo "== branches"
report --filter 'calc/' --filter 'runtime/' --filter 'log/' --txt --branches
# The summaries alone: each table goes to a file of its own. (gcovr replaces the file it writes,
# so it must never be given /dev/null: run as root, that is the machine's.)
for folder in calc runtime log; do
    echo "== $folder/"
    report --filter "$folder/" --txt "$build/$folder.txt" --print-summary
done
echo "== total"
report --filter 'calc/' --filter 'runtime/' --filter 'log/' --txt "$build/total.txt" \
    --print-summary
