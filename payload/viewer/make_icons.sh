#!/bin/sh
# Regenerates the viewer's two icons from shapes only (no fonts), so the
# same ImageMagick gives the same bytes:
#   orvik.ico   the program: a drafting square and compass arc on blue
#   drawing.ico a drawing document: a page with folded corner and plan lines
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for size in 32 16; do
    s=$((size - 1))
    convert -size ${size}x${size} xc:'#1f4e9c' \
        -fill none -stroke white -strokewidth $((size / 16 + 1)) \
        -draw "rectangle $((size / 5)),$((size / 5)) $((size * 4 / 5)),$((size * 4 / 5))" \
        -stroke '#ffd24a' -draw "arc $((size / 5 - size / 2)),$((size / 5 - size / 2)) $((size * 4 / 5)),$((size * 4 / 5)) 0,90" \
        -stroke '#0b2750' -strokewidth 1 -draw "rectangle 0,0 $s,$s" \
        +set date:create +set date:modify -define png:exclude-chunks=date,time \
        -type TrueColorAlpha PNG32:"$tmp/program-$size.png"
    fold=$((size / 4))
    convert -size ${size}x${size} xc:none \
        -fill white -stroke '#404040' -strokewidth 1 \
        -draw "polygon $((size / 8)),0 $((size * 7 / 8 - fold)),0 $((size * 7 / 8)),$fold $((size * 7 / 8)),$s $((size / 8)),$s" \
        -fill '#c8c8c8' -draw "polygon $((size * 7 / 8 - fold)),0 $((size * 7 / 8 - fold)),$fold $((size * 7 / 8)),$fold" \
        -stroke '#1f4e9c' -fill none \
        -draw "rectangle $((size / 4)),$((size * 3 / 8)) $((size * 3 / 4)),$((size * 3 / 4))" \
        -draw "line $((size / 4)),$((size * 9 / 16)) $((size * 3 / 4)),$((size * 9 / 16))" \
        -draw "line $((size / 2)),$((size * 3 / 8)) $((size / 2)),$((size * 3 / 4))" \
        +set date:create +set date:modify -define png:exclude-chunks=date,time \
        -type TrueColorAlpha PNG32:"$tmp/drawing-$size.png"
done
# BMP entries inside the .ico: readable by every Windows version.
convert "$tmp/program-32.png" "$tmp/program-16.png" -define icon:format=bmp orvik.ico
convert "$tmp/drawing-32.png" "$tmp/drawing-16.png" -define icon:format=bmp drawing.ico
