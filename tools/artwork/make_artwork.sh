#!/bin/bash
# Draws the wizard bitmaps and the program icon of setup.exe with ImageMagick:
#   res/watermark.bmp  164x314, 16 colours: the exterior pages' watermark
#   res/header.bmp      49x49,  16 colours: the interior pages' header bitmap
#   res/setup.ico       16, 32 and 48 pixels
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

# Watermark: a deep blue sheet fading to lighter blue, grid lines, and a
# flange drawn in white in the lower half.
grid=""
for x in $(seq 0 12 164); do grid+="line $x,0 $x,314 "; done
for y in $(seq 2 12 314); do grid+="line 0,$y 164,$y "; done
im -size 164x314 gradient:'#0b2a5c'-'#3d7fc4' \
    -stroke '#5b92cf' -strokewidth 1 -fill none -draw "$grid" \
    -stroke white -strokewidth 2 -fill none \
    -draw "circle 82,200 82,150" \
    -draw "circle 82,200 82,180" \
    -draw "circle 82,152 82,144" -draw "circle 82,248 82,256" \
    -draw "circle 34,200 26,200" -draw "circle 130,200 138,200" \
    -stroke '#ffd75e' -strokewidth 1 \
    -draw "line 82,136 82,264" -draw "line 18,200 146,200" \
    -draw "line 32,280 132,280" -draw "line 32,274 32,286" -draw "line 132,274 132,286" \
    -draw "polygon 32,280 40,277 40,283" -draw "polygon 132,280 124,277 124,283" \
    -stroke white -strokewidth 1 -fill '#ffffff' \
    -draw "rectangle 14,24 150,26" -draw "rectangle 14,34 110,35" -draw "rectangle 14,42 90,43" \
    "${plain[@]}" -dither None -colors 16 -type Palette "BMP3:$out/watermark.bmp"

# Header bitmap: a small sheet with a corner fold and a part outline.
im -size 49x49 xc:white \
    -fill '#1d4f91' -stroke '#0b2a5c' -strokewidth 1 \
    -draw "polygon 6,3 34,3 44,13 44,46 6,46" \
    -fill '#7fb0e6' -draw "polygon 34,3 34,13 44,13" \
    -fill none -stroke white -strokewidth 2 -draw "circle 25,29 25,17" \
    -strokewidth 1 -draw "circle 25,29 25,24" \
    -stroke '#ffd75e' -draw "line 25,13 25,44" -draw "line 9,29 41,29" \
    "${plain[@]}" -dither None -colors 16 -type Palette "BMP3:$out/header.bmp"

# Icon: the same sheet, drawn once per size so the small ones stay crisp.
for size in 16 32 48; do
    s=$((size - 1))
    f=$((size * 3 / 10))
    c=$((size / 2))
    r=$((size * 3 / 10))
    im -size ${size}x${size} xc:none \
        -fill '#1d4f91' -stroke '#0b2a5c' -strokewidth 1 \
        -draw "polygon 1,0 $((s - f)),0 $s,$f $s,$s 1,$s" \
        -fill '#7fb0e6' -draw "polygon $((s - f)),0 $((s - f)),$f $s,$f" \
        -fill none -stroke white -draw "circle $c,$((c + 1)) $c,$((c + 1 - r))" \
        -stroke '#ffd75e' -draw "line $c,$((c + 1 - r - 2)) $c,$((c + 1 + r + 2))" \
        -draw "line $((c - r - 2)),$((c + 1)) $((c + r + 2)),$((c + 1))" \
        "${plain[@]}" "PNG32:$tmp/icon$size.png"
done
# BMP-coded entries (no PNG inside the icon): readable by every Windows.
im "$tmp/icon16.png" "$tmp/icon32.png" "$tmp/icon48.png" -define icon:format=bmp "$out/setup.ico"
