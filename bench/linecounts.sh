#!/bin/bash
# Times ComputeLineCounts against the plain 64-bit closed forms with bench_linecounts and
# prints the median time per call of each over several runs, and their ratio. With valgrind
# installed it also counts the instructions per call, which do not vary from run to run.
#
# usage: bench/linecounts.sh [build folder, default build] [runs, default 9]
set -euo pipefail

build=${1:-build}
runs=${2:-9}
bench=$(realpath -m "$build/bench/bench_linecounts")
[[ -x $bench ]] || { echo "no $bench: build the tree first" >&2; exit 1; }

# Reads bench_linecounts' CSV lines and prints "<function> <value per call>", the value in
# nanoseconds for wall time and in instructions for callgrind's counts.
per_call() {
    awk -F, '{
        gsub(/"/, "")
        split($2, tag, " ")            # the tag starts with the number of boards
        scale = $3 == "WalltimeMilliseconds" ? 1e6 : 1
        printf "%s %.3f\n", $1, $4 * scale / tag[1]
    }'
}

median() { sort -g | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
results=$work/results
for ((i = 1; i <= runs; i++)); do
    "$bench" -o -,csv | per_call >>"$results"
done

printf '%-20s %16s %10s %10s\n' function "median ns/call" min max
for fn in computeLineCounts closedForms; do
    values=$(awk -v fn="$fn" '$1 == fn { print $2 }' "$results")
    printf '%-20s %16.2f %10.2f %10.2f\n' "$fn" "$(median <<<"$values")" \
        "$(sort -g <<<"$values" | head -1)" "$(sort -g <<<"$values" | tail -1)"
    declare "median_$fn=$(median <<<"$values")"
done
echo "runs: $runs; ratio ComputeLineCounts / closed forms:" \
    "$(awk -v a="$median_computeLineCounts" -v b="$median_closedForms" 'BEGIN { printf "%.1f", a / b }')"

if command -v valgrind >/dev/null; then
    echo
    printf '%-20s %16s\n' function "instructions/call"
    # callgrind leaves its files in the current folder
    counts=$(cd "$work" && "$bench" -callgrind -o -,csv | per_call)
    awk '{ printf "%-20s %16.1f\n", $1, $2; v[NR] = $2 } END { printf "ratio ComputeLineCounts / closed forms: %.1f\n", v[1] / v[2] }' <<<"$counts"
fi
