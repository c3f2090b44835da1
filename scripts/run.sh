#!/usr/bin/env bash
# Sets up and builds Korvex, then starts the calculator.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
exec build/app/korvex "$@"
