#!/usr/bin/env bash
# Writes the seed corpora in corpus/ from the cases of the unit tests
# (tests/runtime/tst_textconversion.cpp and tests/calc/tst_linecounts.cpp).
set -euo pipefail
cd "$(dirname "$0")"

text=corpus/fuzz_textconversion
lines=corpus/fuzz_linecounts
rm -rf "$text" "$lines"
mkdir -p "$text" "$lines"

# seed <name> <text>: the text as it is, with printf escapes such as \t.
seed() { printf '%b' "$2" >"$text/$1"; }

seed integer '7'
seed leading-zeros '007'
seed plus '+7'
seed blanks '  7 '
seed tabs '\t7\t'
seed minus '-3'
seed minus-zero '-0'
seed tie-down '2.5'
seed tie-up '3.5'
seed above-half '2.51'
seed tie-trailing-zeros '2.500'
seed below-half '2.4999'
seed negative-tie '-2.5'
seed point-first '.5'
seed point-last '5.'
seed max '32767'
seed min '-32768'
seed min-tie '-32768.5'
seed max-tie-out '32767.5'
seed many-zeros '0000000000000000000012'
seed empty ''
seed lone-point '.'
seed sign-point '-.'
seed exponent '1e3'
seed sign-blank '- 3'
seed two-points '1.2.3'
seed comma '1,5'
seed hex '0x10'
seed newline '3\n'
seed above-max '32768'
seed huge '99999999999999999999999999'
seed huge-tie '4294967296.5'
seed arabic-digit '\xd9\xa3'

# board <name> <rows> <columns> <connection length>: three little-endian 16-bit integers.
board() {
    local name=$1 bytes='' value
    shift
    for value in "$@"; do
        value=$((value & 0xffff))
        bytes+=$(printf '\\x%02x\\x%02x' $((value & 0xff)) $((value >> 8)))
    done
    printf '%b' "$bytes" >"$lines/board_$name"
}

board 6x7_C4 6 7 4
board 3x3_C3 3 3 3
board 1x1_C1 1 1 1
board 5x5_C6 5 5 6
board 10x2_C4 10 2 4
board 6x7_C-1 6 7 -1
board 90x90_C4 90 90 4
board 1169x7_C4 1169 7 4
board 1x1_C127 1 1 127
board 100x1_C100 100 1 100
board -3x4_C2 -3 4 2
board 91x91_C4 91 91 4
board 1170x7_C4 1170 7 4
board 1x1_C128 1 1 128
board 1x1_C-128 1 1 -128
board 200x1_C100 200 1 100
board 8192x1_C1 8192 1 1
board -8193x1_C1 -8193 1 1
board -100x100_C1 -100 100 1
board 32767x32767_C32767 32767 32767 32767
board -32768x-32768_C-32768 -32768 -32768 -32768
