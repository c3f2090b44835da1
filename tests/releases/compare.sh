#!/usr/bin/env bash
# Compares what the end-to-end tests of two systems left in two folders (scripts/test.sh
# fills build-releases/<code name>/ on each); see compare.py.
#
# usage: compare.sh FOLDER_A FOLDER_B
set -euo pipefail
for tool in identify convert python3; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed" >&2; exit 1; }
done
echo "== $1 against $2"
exec python3 "$(dirname "$0")/compare.py" "$1" "$2"
