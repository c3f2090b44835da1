#!/bin/bash
# Measures, in the same rotated rounds as the floors and Korvex (see startup.sh), whichever
# of Debian's desktop calculators are installed, and prints one table of them all.
#
# usage: bench/peers.sh [--install] [build folder, default build]; --install first installs
# the calculators with apt-get, and the X core fonts xcalc draws with, which a desktop has.
# ROUNDS=<n> sets the rounds (default 25).
set -euo pipefail

peers=(
    "xcalc|Xaw|xcalc|x11-apps xfonts-base"
    "galculator|GTK 3|galculator|galculator"
    "mate-calc|GTK 3|mate-calc|mate-calc"
    "speedcrunch|Qt 5|speedcrunch|speedcrunch"
    "kcalc|Qt 5 + KDE Frameworks|kcalc|kcalc"
    "qalculate-gtk|GTK 3|qalculate-gtk|qalculate-gtk"
    "gnome-calculator|GTK 4|gnome-calculator|gnome-calculator"
)

if [[ ${1:-} == --install ]]; then
    shift
    sudo=()
    ((EUID == 0)) || sudo=(sudo)
    mapfile -t packages < <(printf '%s\n' "${peers[@]}" | cut -d'|' -f4 | tr ' ' '\n' | sort -u)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        -o DPkg::Lock::Timeout=900 "${packages[@]}"
fi

build=$(realpath "${1:-build}")
# shellcheck source=bench/rounds.sh disable=SC2034 # build and programs are read there
source "$(dirname "$0")/rounds.sh"
programs=("${floors[@]}")
missing=()
for peer in "${peers[@]}"; do
    IFS='|' read -r name _ command _ <<<"$peer"
    if command -v "$command" >/dev/null; then
        programs+=("${peer%|*}")
    else
        missing+=("$name")
    fi
done

run_rounds
print_table 3
((${#missing[@]})) && echo "Not installed: ${missing[*]} (bench/peers.sh --install installs them)"
echo
ratios 2 0 1
