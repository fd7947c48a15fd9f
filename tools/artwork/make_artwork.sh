#!/bin/bash
# Draws the wizard bitmaps and the program icon of setup.exe with ImageMagick:
#   res/watermark.bmp  164x314, 16 colours: the exterior pages' watermark
#   res/header.bmp      49x49,  16 colours: the interior pages' header bitmap
#   res/watermark125.bmp, header125.bmp ... 200: the same two drawings for
#                      displays at 125, 150 and 200 % (120, 144, 192 dpi)
#   res/setup.ico       16, 24, 32, 48, 64 and 256 pixels
# The motif is a drawing sheet: a blueprint grid with a part outline, a
# centre mark and a dimension line. Only shapes, no fonts, no randomness, so
# a rerun gives the same files. Run it after changing the drawing and commit
# the results:  tools/artwork/make_artwork.sh [output-dir]
set -euo pipefail
out=${1:-$(cd "$(dirname "$0")/../.." && pwd)/res}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Strip every chunk and property that could carry a date or a path.
im() { convert "$@"; }
plain=(-strip -define png:exclude-chunks=date,time)

# The drawings are made in the 100 % coordinates; n scales one coordinate
# to the current percentage (rounded), w a stroke width (unrounded). At
# 100 % both give back what they are given, so the 100 % files stay as
# they were before there were other sizes.
pct=100
n() { echo $((($1 * pct * 2 + 100) / 200)); }
w() { awk -v v="$1" -v p="$pct" 'BEGIN { print v * p / 100 }'; }

# Watermark: a deep blue sheet fading to lighter blue, grid lines, and a
# flange drawn in white in the lower half.
#   watermark PERCENT HEIGHT FILE
# HEIGHT is the bitmap's height in pixels: the band the system gives the
# picture grows with the dialog font, which does not scale exactly with the
# display, so the larger sizes carry a few more rows of sheet and grid at
# the bottom. The system draws the picture from the top left at its own
# size: rows the band lacks are cut, and a band taller than the picture
# shows the colour of its top-left pixel below it.
watermark() {
    pct=$1
    local width height=$2 file=$3 grid="" x y
    width=$(n 164)
    for x in $(seq 0 12 164); do grid+="line $(n "$x"),0 $(n "$x"),$height "; done
    for y in $(seq 2 12 $((height * 100 / pct))); do grid+="line 0,$(n "$y") $width,$(n "$y") "; done
    im -size "${width}x${height}" gradient:'#0b2a5c'-'#3d7fc4' \
        -stroke '#5b92cf' -strokewidth "$(w 1)" -fill none -draw "$grid" \
        -stroke white -strokewidth "$(w 2)" -fill none \
        -draw "circle $(n 82),$(n 200) $(n 82),$(n 150)" \
        -draw "circle $(n 82),$(n 200) $(n 82),$(n 180)" \
        -draw "circle $(n 82),$(n 152) $(n 82),$(n 144)" -draw "circle $(n 82),$(n 248) $(n 82),$(n 256)" \
        -draw "circle $(n 34),$(n 200) $(n 26),$(n 200)" -draw "circle $(n 130),$(n 200) $(n 138),$(n 200)" \
        -stroke '#ffd75e' -strokewidth "$(w 1)" \
        -draw "line $(n 82),$(n 136) $(n 82),$(n 264)" -draw "line $(n 18),$(n 200) $(n 146),$(n 200)" \
        -draw "line $(n 32),$(n 280) $(n 132),$(n 280)" \
        -draw "line $(n 32),$(n 274) $(n 32),$(n 286)" -draw "line $(n 132),$(n 274) $(n 132),$(n 286)" \
        -draw "polygon $(n 32),$(n 280) $(n 40),$(n 277) $(n 40),$(n 283)" \
        -draw "polygon $(n 132),$(n 280) $(n 124),$(n 277) $(n 124),$(n 283)" \
        -stroke white -strokewidth "$(w 1)" -fill '#ffffff' \
        -draw "rectangle $(n 14),$(n 24) $(n 150),$(n 26)" -draw "rectangle $(n 14),$(n 34) $(n 110),$(n 35)" \
        -draw "rectangle $(n 14),$(n 42) $(n 90),$(n 43)" \
        "${plain[@]}" -dither None -colors 16 -type Palette "BMP3:$file"
}

# Header bitmap: a small sheet with a corner fold and a part outline.
#   header PERCENT FILE
header() {
    pct=$1
    local size file=$2
    size=$(n 49)
    im -size "${size}x${size}" xc:white \
        -fill '#1d4f91' -stroke '#0b2a5c' -strokewidth "$(w 1)" \
        -draw "polygon $(n 6),$(n 3) $(n 34),$(n 3) $(n 44),$(n 13) $(n 44),$(n 46) $(n 6),$(n 46)" \
        -fill '#7fb0e6' -draw "polygon $(n 34),$(n 3) $(n 34),$(n 13) $(n 44),$(n 13)" \
        -fill none -stroke white -strokewidth "$(w 2)" -draw "circle $(n 25),$(n 29) $(n 25),$(n 17)" \
        -strokewidth "$(w 1)" -draw "circle $(n 25),$(n 29) $(n 25),$(n 24)" \
        -stroke '#ffd75e' -draw "line $(n 25),$(n 13) $(n 25),$(n 44)" -draw "line $(n 9),$(n 29) $(n 41),$(n 29)" \
        "${plain[@]}" -dither None -colors 16 -type Palette "BMP3:$file"
}

# 100 % is the size the wizard was drawn for; the others are that size
# times the scale. A watermark is at least as tall as its band at that
# scale: 314 rows times the scale where the dialog font grows with the
# display, more where it grows faster (the band is 483 rows at 150 % with
# IPAPGothic, the font that stands in for the templates' one under Wine).
watermark 100 314 "$out/watermark.bmp"
watermark 125 393 "$out/watermark125.bmp"
watermark 150 483 "$out/watermark150.bmp"
watermark 200 628 "$out/watermark200.bmp"
header 100 "$out/header.bmp"
header 125 "$out/header125.bmp"
header 150 "$out/header150.bmp"
header 200 "$out/header200.bmp"

# Icon: the same sheet, drawn once per size so the small ones stay crisp;
# strokes grow from 64 pixels on.
for size in 16 24 32 48 64 256; do
    s=$((size - 1))
    f=$((size * 3 / 10))
    c=$((size / 2))
    r=$((size * 3 / 10))
    k=$((size < 64 ? 1 : size / 32))
    # The outline's edges: a wide stroke kept inside the square.
    l=$((k > 1 ? k / 2 : 1)) t=$((k / 2)) e=$((s - k / 2))
    im -size ${size}x${size} xc:none \
        -fill '#1d4f91' -stroke '#0b2a5c' -strokewidth $k \
        -draw "polygon $l,$t $((e - f)),$t $e,$((t + f)) $e,$e $l,$e" \
        -fill '#7fb0e6' -draw "polygon $((e - f)),$t $((e - f)),$((t + f)) $e,$((t + f))" \
        -fill none -stroke white -draw "circle $c,$((c + k)) $c,$((c + k - r))" \
        -stroke '#ffd75e' -draw "line $c,$((c + k - r - 2 * k)) $c,$((c + k + r + 2 * k))" \
        -draw "line $((c - r - 2 * k)),$((c + k)) $((c + r + 2 * k)),$((c + k))" \
        "${plain[@]}" "PNG32:$tmp/icon$size.png"
done
# Up to 64 pixels BMP-coded entries, readable by every Windows; the 256-pixel
# one PNG-coded, as the systems that ask for it (Vista on) read it.
im "$tmp"/icon{16,24,32,48,64,256}.png "${plain[@]}" "$out/setup.ico"
