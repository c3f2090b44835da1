#!/usr/bin/env bash
# Sets up and builds Korvex, then runs every test without a display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure
