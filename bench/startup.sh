#!/bin/bash
# Measures Korvex's start-up as a user sees it, against two floors built in the same tree:
# the bare Qt window korvex_bare, which draws no text, and korvex_label, a window with one
# label in a layout, the least any window with text does. For each program: the time until
# its window is mapped, until its first content is drawn, and its peak resident memory, as
# medians with minimum and maximum over rotated rounds, and Korvex's ratios to each floor.
# bench/peers.sh adds Debian's desktop calculators to the same rounds.
#
# usage: bench/startup.sh [build folder, default build]; ROUNDS=<n> sets the rounds
# (default 25), DESKTOP=GNOME starts the programs as under GNOME.
set -euo pipefail

build=$(realpath "${1:-build}")
# shellcheck source=bench/rounds.sh disable=SC2034 # build and programs are read there
source "$(dirname "$0")/rounds.sh"
programs=("${floors[@]}")

run_rounds
print_table 3
echo
ratios 2 0 1
