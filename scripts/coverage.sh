#!/usr/bin/env bash
# Builds Korvex with gcov instrumentation in build-coverage/, runs the test suite without a
# display (the end-to-end test left out) and prints the line and branch coverage of calc/,
# runtime/ and log/, file by file and for each folder.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build-coverage -G Ninja \
    -DCMAKE_CXX_COMPILER=g++ \
    -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="--coverage -O0" \
    -DCMAKE_EXE_LINKER_FLAGS=--coverage \
    -DCMAKE_SHARED_LINKER_FLAGS=--coverage
cmake --build build-coverage

# Counts from an earlier run would add up with this one's.
find build-coverage -name '*.gcda' -delete
QT_QPA_PLATFORM=offscreen ctest --test-dir build-coverage --output-on-failure -LE e2e

# The tracefile is written once; the reports below read it instead of running gcov again.
# CMake's compiler check leaves a .gcno behind that has no source to go with it.
gcovr --root . --object-directory build-coverage \
    --exclude-directories 'build-coverage/CMakeFiles/' \
    --exclude-throw-branches --exclude-unreachable-branches \
    --filter 'calc/' --filter 'runtime/' --filter 'log/' \
    --json build-coverage/coverage.json

report() { gcovr --root . --add-tracefile build-coverage/coverage.json "$@"; }

echo "== lines"
report --filter 'calc/' --filter 'runtime/' --filter 'log/' --txt
echo "== branches"
report --filter 'calc/' --filter 'runtime/' --filter 'log/' --txt --branches
# The summaries alone: each table goes to a file of its own. (gcovr replaces the file it writes,
# so it must never be given /dev/null: run as root, that is the machine's.)
for folder in calc runtime log; do
    echo "== $folder/"
    report --filter "$folder/" --txt "build-coverage/$folder.txt" --print-summary
done
echo "== total"
report --filter 'calc/' --filter 'runtime/' --filter 'log/' --txt build-coverage/total.txt \
    --print-summary
