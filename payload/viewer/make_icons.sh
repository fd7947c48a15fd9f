#!/bin/sh
# Regenerates the viewer's two icons from shapes only (no fonts), so the
# same ImageMagick gives the same bytes; each at 16, 24, 32, 48, 64 and 256
# pixels, drawn once per size so the small ones stay crisp:
#   orvik.ico   the program: a drafting square and compass arc on blue
#   drawing.ico a drawing document: a page with folded corner and plan lines
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for size in 16 24 32 48 64 256; do
    s=$((size - 1))
    # Thin strokes grow from 64 pixels on.
    k=$((size < 64 ? 1 : size / 32))
    convert -size ${size}x${size} xc:'#1f4e9c' \
        -fill none -stroke white -strokewidth $((size / 16 + 1)) \
        -draw "rectangle $((size / 5)),$((size / 5)) $((size * 4 / 5)),$((size * 4 / 5))" \
        -stroke '#ffd24a' -draw "arc $((size / 5 - size / 2)),$((size / 5 - size / 2)) $((size * 4 / 5)),$((size * 4 / 5)) 0,90" \
        -stroke '#0b2750' -strokewidth $k -draw "rectangle $((k / 2)),$((k / 2)) $((s - k / 2)),$((s - k / 2))" \
        +set date:create +set date:modify -define png:exclude-chunks=date,time \
        -type TrueColorAlpha PNG32:"$tmp/program-$size.png"
    fold=$((size / 4))
    # The page's top and bottom edges: a wide stroke kept inside the square.
    t=$((k / 2)) b=$((s - k / 2))
    convert -size ${size}x${size} xc:none \
        -fill white -stroke '#404040' -strokewidth $k \
        -draw "polygon $((size / 8)),$t $((size * 7 / 8 - fold)),$t $((size * 7 / 8)),$fold $((size * 7 / 8)),$b $((size / 8)),$b" \
        -fill '#c8c8c8' -draw "polygon $((size * 7 / 8 - fold)),$t $((size * 7 / 8 - fold)),$fold $((size * 7 / 8)),$fold" \
        -stroke '#1f4e9c' -fill none \
        -draw "rectangle $((size / 4)),$((size * 3 / 8)) $((size * 3 / 4)),$((size * 3 / 4))" \
        -draw "line $((size / 4)),$((size * 9 / 16)) $((size * 3 / 4)),$((size * 9 / 16))" \
        -draw "line $((size / 2)),$((size * 3 / 8)) $((size / 2)),$((size * 3 / 4))" \
        +set date:create +set date:modify -define png:exclude-chunks=date,time \
        -type TrueColorAlpha PNG32:"$tmp/drawing-$size.png"
done
# Up to 64 pixels BMP entries, readable by every Windows version; the
# 256-pixel one PNG-coded, as the systems that ask for it (Vista on) read it.
for icon in program drawing; do
    convert "$tmp/$icon-16.png" "$tmp/$icon-24.png" "$tmp/$icon-32.png" "$tmp/$icon-48.png" \
        "$tmp/$icon-64.png" "$tmp/$icon-256.png" -strip -define png:exclude-chunks=date,time "$tmp/$icon.ico"
done
mv "$tmp/program.ico" orvik.ico
mv "$tmp/drawing.ico" drawing.ico
