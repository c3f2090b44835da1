#!/usr/bin/env bash
# Remakes the README's screenshots: the end-to-end test drives a built korvex under Xvfb
# (6 rows, 7 columns, C 4) and saves each window it sees into docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tests/e2e/session.sh tests/e2e/story.py "${1:-build/app/korvex}" docs/screenshots
