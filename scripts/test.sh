#!/usr/bin/env bash
# Sets up and builds Korvex, then runs every check without a display of your own: the test
# suite (the end-to-end test brings its own X server), the formatting check, the suite again
# under AddressSanitizer and UndefinedBehaviorSanitizer, the fuzzers, and the coverage report.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure
scripts/check-format.sh
scripts/sanitize.sh
scripts/fuzz.sh
scripts/coverage.sh
