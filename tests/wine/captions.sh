# shellcheck shell=bash
# Sourced by the Windows end-to-end tests: text on the screen read back by comparing its ink
# with Windows' own drawing of it (korvex_captionink). The test sets CAPTIONINK and WORK.

# GDI's drawings of each text are kept in $WORK/reference/<text in hex>/<size>.pbm, with the
# signature (pbm_signature) of each in that folder's file "signatures", a line "SIZE SIGNATURE"
# each, so that every drawing is read once. A test that changes the display's dots per inch
# removes them.

# references TEXT: the folder of TEXT's drawings.
references() { echo "$WORK/reference/$(printf %s "$1" | od -An -tx1 | tr -d ' \n')"; }

# draw_references TEXT...: GDI draws those of the texts it has not drawn yet, all in one run.
draw_references() {
    local text texts=() drawn=$WORK/reference/drawn n=0
    for text; do [[ -d $(references "$text") ]] || texts+=("$text"); done
    ((${#texts[@]})) || return 0
    rm -rf "$drawn"
    mkdir -p "$drawn"
    wine "$CAPTIONINK" "MS Sans Serif" "$(winepath -w "$drawn")" "${texts[@]}" </dev/null \
        || fail "cannot draw '${texts[*]}' with GDI"
    for text in "${texts[@]}"; do
        n=$((n + 1))
        pbm_signatures "$drawn/$n"/*.pbm >"$drawn/$n/signatures"
        mv "$drawn/$n" "$(references "$text")"
    done
}

# pbm_signatures PBM...: a line for each plain PBM, its name without .pbm, a tab and its
# signature: its width, height and bits, as "WIDTH HEIGHT BITS".
pbm_signatures() {
    awk 'function flush(  i) {
            if (name == "") return
            printf "%s\t%s %s ", name, token[1], token[2]
            for (i = 3; i < n; i++) printf "%s", token[i]
            print ""
        }
        FNR == 1 { flush(); name = FILENAME; sub(/.*\//, "", name); sub(/\.pbm$/, "", name); n = 0 }
        # korvex_captionink writes its lines with the CR LF of Windows.
        { sub(/\r$/, ""); sub(/#.*/, ""); for (i = 1; i <= NF; i++) token[n++] = $i }
        END { flush() }' "$@"
}
pbm_signature() { pbm_signatures "$1" | cut -f 2; }

# drawn_as PBM TEXT: the ink in PBM (cut to its ink) is TEXT as GDI draws it in MS Sans Serif
# at some size, every letter of it.
drawn_as() {
    draw_references "$2"
    # Read whole: grep -q would end at the first match and cut with it, on a broken pipe.
    awk -F '\t' -v signature="$(pbm_signature "$1")" '$2 == signature { found = 1 }
        END { exit !found }' "$(references "$2")/signatures"
}

# ink SCREENSHOT WIDTHxHEIGHT+X+Y PBM: the dark pixels of that part of the screenshot, cut to
# their ink. (The white border keeps -trim from taking a row of ink along an edge, such as the
# foot of a 2, for one of the background.)
ink() {
    convert "$1" -crop "$2" +repage -colorspace Gray -threshold 30% -bordercolor white \
        -border 1 -trim +repage -compress none "$3"
}

# drawn_whole PBM TEXT PERCENT PIXELS: the ink in PBM is TEXT, drawn whole. At a display
# scaling of 100 % it is TEXT as GDI draws it in MS Sans Serif at some size, every pixel of
# it. At other scalings Qt draws the text smoothed, in a size that Windows has no bitmap face
# for, so that no drawing of GDI's is the same to the pixel; the ink must then be as wide and
# as high as GDI's drawing of TEXT at PIXELS, the size at 100 %, scaled, within a tenth: a
# letter cut off or missing makes it narrower than that. Prints the sizes compared.
drawn_whole() {
    local pbm=$1 text=$2 percent=$3 pixels=$4 width height expected_width expected_height
    if drawn_as "$pbm" "$text"; then return 0; fi
    ((percent != 100)) || return 1
    read -r width height _ <<<"$(pbm_signature "$pbm")"
    read -r expected_width expected_height _ <<<"$(awk -F '\t' -v size="$pixels" \
        '$1 == size { print $2 }' "$(references "$text")/signatures")"
    echo "${TEST_NAME:-e2e}: '$text' at $percent %: ${width}x$height of ink, GDI's at 100 %" \
        "${expected_width}x$expected_height"
    within_a_tenth "$width" $((expected_width * percent)) \
        && within_a_tenth "$height" $((expected_height * percent))
}
# within_a_tenth PIXELS HUNDREDTHS: PIXELS lies within a tenth of HUNDREDTHS / 100, or a pixel.
within_a_tenth() {
    ((100 * $1 * 10 >= $2 * 9 - 100 && 100 * $1 * 10 <= $2 * 11 + 100))
}

# caption_is_whole SCREENSHOT X Y WIDTH HEIGHT TEXT [PERCENT]: the caption of the button at
# X,Y, WIDTH x HEIGHT, in the screenshot is TEXT drawn whole (drawn_whole) in the buttons'
# 11 pixels at the display scaling PERCENT (100 unless given). The inside of the button's
# bevel and focus rectangle is compared.
caption_is_whole() {
    local shot=$1 x=$2 y=$3 width=$4 height=$5 text=$6 percent=${7:-100} inset
    inset=$(((5 * percent + 99) / 100))
    ink "$shot" $((width - 2 * inset))x$((height - 2 * inset))+$((x + inset))+$((y + inset)) \
        "$WORK/caption.pbm"
    if ! drawn_whole "$WORK/caption.pbm" "$text" "$percent" 11; then
        # What was compared, beside the screenshots.
        cp "$WORK/caption.pbm" "$SHOTS/caption-failed.pbm"
        cp "$(references "$text")/signatures" "$SHOTS/caption-failed.signatures"
        fail "the caption '$text' is not drawn whole:" \
            "$(identify -format '%wx%h' "$WORK/caption.pbm") of ink"
    fi
}

# numbers_are_printed SCREENSHOT PERCENT WIDTH HEIGHT NUMBER...: the lines printed at the top
# left of the main window, within WIDTH x HEIGHT, end in these numbers, one a line in this
# order, each digit drawn whole (drawn_whole) in the printed lines' 16 pixels at the display
# scaling PERCENT. A line's number is its last ink after a gap of a tenth of WIDTH or
# more. Digit by digit, since Qt and GDI may round the advance from one digit to the next
# apart.
numbers_are_printed() {
    local shot=$1 percent=$2 width=$3 height=$4 places line number digit place i
    shift 4
    convert "$shot" -crop "${width}x${height}+0+0" +repage -colorspace Gray -threshold 30% \
        -compress none "$WORK/results.pbm"
    # A line a printed number, the places of its digits as WIDTHxHEIGHT+X+Y, from the plain
    # PBM's bits.
    places=$(tr -s ' \n' '\n\n' <"$WORK/results.pbm" | tail -n +4 | awk -v w="$width" -v \
        h="$height" -v gap=$((width / 10)) '
        { bit[int((NR - 1) / w), (NR - 1) % w] = $1 }
        function inked(x, top, bottom,   y) {
            for (y = top; y <= bottom; ++y) if (bit[y, x]) return 1
            return 0
        }
        function number(top, bottom,   x, right, left, line, start) {
            right = -1
            for (x = w - 1; x >= 0; --x) {
                if (inked(x, top, bottom)) { if (right < 0) right = x; left = x }
                else if (right >= 0 && left - x > gap) break
            }
            line = ""
            start = -1
            for (x = left; x <= right + 1; ++x) {
                if (x <= right && inked(x, top, bottom)) { if (start < 0) start = x }
                else if (start >= 0) {
                    line = line sprintf(" %dx%d+%d+%d", x - start, bottom - top + 1, start, top)
                    start = -1
                }
            }
            print substr(line, 2)
        }
        END {
            top = -1
            for (y = 0; y <= h; ++y) {
                ink = 0
                for (x = 0; x < w && y < h && !ink; ++x) ink = bit[y, x]
                if (ink && top < 0) top = y
                if (!ink && top >= 0) { number(top, y - 1); top = -1 }
            }
        }')
    [[ $(wc -l <<<"$places") == "$#" ]] \
        || fail "$(wc -l <<<"$places") printed lines, not $#: $(tr '\n' ' ' <<<"$places")"
    for number in "$@"; do
        read -r -a line
        ((${#line[@]} == ${#number})) || fail "the printed $number has ${#line[@]} digits"
        for ((i = 0; i < ${#number}; i++)); do
            digit=${number:i:1} place=${line[i]}
            ink "$shot" "$place" "$WORK/digit.pbm"
            drawn_whole "$WORK/digit.pbm" "$digit" "$percent" 16 \
                || fail "the $digit of the printed $number is not drawn whole"
        done
    done <<<"$places"
}
