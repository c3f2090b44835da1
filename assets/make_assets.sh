#!/bin/bash
# Regenerates the banner next to this script:
#   picture.jpg    424x129 baseline JPEG banner: the name plus a 7x4 grid with
#                  runs in all four directions
# The icons are not made here: the build renders every size of them from korvex.svg.
# Needs ImageMagick 6 (convert) and fonts-liberation.
set -euo pipefail
cd "$(dirname "$0")"

BG='rgb(128,128,255)'
FONT=/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf

# Grid geometry (set by the caller): top-left corner GX,GY, cell pitch P,
# line width L, size COLS x ROWS, canvas size W x H.
cell() {  # row col -> MVG rectangle of that cell's inside
  local x=$((GX + $2*P + L)) y=$((GY + $1*P + L))
  echo "rectangle $x,$y $((x+P-L-1)),$((y+P-L-1)) "
}
span() {  # origin index step -> start/end of the grid line crossed when stepping
  local a=$(($1 + $2*P + L))
  case $3 in 0) echo "$a $((a+P-L-1))" ;; 1) echo "$((a+P-L)) $((a+P-1))" ;; -1) echo "$((a-L)) $((a-1))" ;; esac
}
run() {  # row col drow dcol length -> RUN: the cells plus the grid-line joints between them
  local r=$1 c=$2 i x0 x1 y0 y1; RUN=""
  for ((i = 0; i < $5; i++)); do
    RUN+=$(cell $r $c); USED[$r,$c]=1
    if ((i < $5 - 1)); then
      read -r x0 x1 <<<"$(span $GX $c $4)"; read -r y0 y1 <<<"$(span $GY $r $3)"
      RUN+="rectangle $x0,$y0 $x1,$y1 "
    fi
    r=$((r + $3)); c=$((c + $4))
  done
}
plain() {  # -> PLAIN: every cell not in a run
  local r c; PLAIN=""
  for ((r = 0; r < ROWS; r++)); do for ((c = 0; c < COLS; c++)); do
    [[ -n ${USED[$r,$c]:-} ]] || PLAIN+=$(cell $r $c)
  done; done
}
# Drawing: ARGS collects convert operators applied on top of the background.
frame() {  # radius -> dark rounded block under the whole grid, shaded top to bottom
  local ex=$((GX + COLS*P + L - 1)) ey=$((GY + ROWS*P + L - 1))
  ARGS+=( \( -size ${W}x$H gradient:'#34347e-#10102e' \)
          \( -size ${W}x$H xc:black -fill white -draw "roundrectangle $GX,$GY $ex,$ey $1,$1" \) -composite )
}
fill() {  # top-colour bottom-colour mvg: paint cells with a per-cell vertical shade
  local c=$((P - L))
  ARGS+=( \( -size 1x$c gradient:"$1-$2" -background "$2" -extent 1x$P -roll +0+$(((GY + L) % P))
             -write mpr:shade +delete -size ${W}x$H tile:mpr:shade \)
          \( -size ${W}x$H xc:black +antialias -fill white -draw "$3" \) -composite )
}
WHITE=('white' '#c0c0dc')

# Banner: name on the left, 7x4 grid on the right.
W=424 H=129 GX=228 GY=11 P=26 L=2 COLS=7 ROWS=4 ARGS=(); declare -gA USED=()
frame 5
run 1 0 1 0 3; fill '#40d060' '#108030' "$RUN"   # vertical
run 0 1 1 1 3; fill '#ffb030' '#e06000' "$RUN"   # diagonal down-right
run 0 3 0 1 3; fill '#ff5060' '#b80018' "$RUN"   # horizontal
run 1 6 1 -1 3; fill '#c060ff' '#7010b0' "$RUN"  # diagonal down-left
plain; fill "${WHITE[@]}" "$PLAIN"
convert -size ${W}x$H xc:"$BG" "${ARGS[@]}" \
  -font "$FONT" -pointsize 58 -gravity west \
  -fill '#24246a' -annotate +15+2 Korvex -fill white -annotate +13+0 Korvex \
  -colorspace sRGB -type TrueColor -strip -interlace none -sampling-factor 4:2:0 \
  -quality 92 picture.jpg
