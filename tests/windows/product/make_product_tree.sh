#!/bin/bash
# make_product_tree.sh TREE PROGRAM DATA: the product folder the tests pack
# and install: the stand-in ORVIK.exe and ORVIK.DAT, folders with Japanese
# names whose code page 932 trail bytes are 0x5C and 0x7C (表, ソ, ポ), an
# empty folder, and a file at the deepest path that still fits (a folder of
# 129 bytes, in it a file path of 143 bytes in code page 932).
set -euo pipefail
tree=$1
rm -rf "$tree"
mkdir -p "$tree/資料/表/ソ" "$tree/空のフォルダ"
cp "$2" "$tree/ORVIK.exe"
cp "$3" "$tree/ORVIK.DAT"
printf 'ブレンナビューア 資料の一覧\r\n' >"$tree/資料/表/一覧.txt"
printf 'ポ: trail byte 0x7C\r\n' >"$tree/資料/表/ソ/ポ.txt"
printf 'readme\r\n' >"$tree/README.TXT"
deep="$tree/深い/$(printf 'f%.0s' {1..124})"  # 4 + 1 + 124 bytes
mkdir -p "$deep"
head -c 3000 "$2" >"$deep/最深部abc.dat"       # 129 + 1 + 13 bytes
