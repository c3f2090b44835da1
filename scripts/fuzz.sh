#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang++ in build-fuzz/ and runs them side
# by side, each for KORVEX_FUZZ_SECONDS seconds (60 unless set) on a copy of its seed corpus
# in build-fuzz/corpus/, so that the committed seeds stay as they are. Prints how many inputs
# each target ran; fails when one of them finds a crash, which it leaves in build-fuzz/crashes/.
# With --seeds-only, each target runs its seeds and nothing more.
#
# usage: fuzz.sh [--seeds-only]
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/stages.sh
source scripts/stages.sh

length=(-max_total_time="${KORVEX_FUZZ_SECONDS:-60}")
if [[ ${1:-} == --seeds-only ]]; then length=(-runs=0); fi
targets=(fuzz_textconversion fuzz_linecounts)
# fuzz_linecounts reads only six bytes; fuzz_textconversion checks texts up to 64 bytes
# against its reference and converts the longer ones only.
declare -A maxLength=([fuzz_textconversion]=128 [fuzz_linecounts]=6)

use_compiler_cache
cmake -S fuzz -B build-fuzz -G Ninja \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo "${compiler_cache[@]}"
cmake --build build-fuzz

export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

declare -A pids
for target in "${targets[@]}"; do
    corpus=build-fuzz/corpus/$target
    rm -rf "$corpus"
    mkdir -p "$corpus" build-fuzz/crashes
    cp fuzz/corpus/"$target"/* "$corpus"/
    build-fuzz/"$target" "${length[@]}" -max_len="${maxLength[$target]}" \
        -timeout=10 -print_final_stats=1 -artifact_prefix=build-fuzz/crashes/"$target"- \
        "$corpus" >build-fuzz/"$target".log 2>&1 &
    pids[$target]=$!
done

failed=0
for target in "${targets[@]}"; do
    if wait "${pids[$target]}"; then
        done=$(grep -Eo 'Done [0-9]+ runs in [0-9]+ second\(s\)|INITED.*corp: [0-9]+/[^ ]*' \
            build-fuzz/"$target".log | tail -1)
        echo "$target: ${done:-finished, but printed no run count}"
    else
        failed=1
        echo "$target: FAILED, see build-fuzz/$target.log; the end of it:"
        tail -n 40 build-fuzz/"$target".log
    fi
done
exit "$failed"
