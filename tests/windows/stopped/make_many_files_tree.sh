#!/bin/bash
# make_many_files_tree.sh TREE PROGRAM DATA: a product folder of many small
# files (the stand-in ORVIK.exe and ORVIK.DAT, 24 folders of 25 text files),
# so that an installation or uninstall can be stopped part-way.
set -euo pipefail
tree=$1
rm -rf "$tree"
mkdir -p "$tree"
cp "$2" "$tree/ORVIK.exe"
cp "$3" "$tree/ORVIK.DAT"
for d in $(seq -w 1 24); do
    mkdir "$tree/資料$d"
    for f in $(seq -w 1 25); do
        for line in $(seq 1 120); do
            printf 'folder %s file %s line %s\r\n' "$d" "$f" "$((line * line))"
        done >"$tree/資料$d/図面$f.txt"
    done
done
