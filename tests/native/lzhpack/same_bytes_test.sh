#!/bin/bash
# lzhpack.exe under Wine packs a tree byte for byte as the host's lzhpack
# does, at the default level and at -9 (the payload archives' level).
#   same_bytes_test.sh WINE_RUN BUILD_DIR HOST_LZHPACK LZHPACK_EXE SOURCE_DIR
# The tree: the sources and resources of this project (text and bitmaps).
set -euo pipefail
wine_run=$1 build=$(cd "$2" && pwd) host=$3 exe=$4 source=$5
work=$build/lzhpack-same-bytes
winwork="T:\\$(tr / '\\' <<<"${work#"$build"/}")"
rm -rf "$work"
mkdir -p "$work/in"
cp -r "$source/src" "$source/res" "$work/in/"
for level in 6 9; do
    "$host" c "$work/host-$level.lzh" -$level --mtime 0 -C "$work/in" src res
    "$wine_run" "$build" "$exe" c "$winwork\\windows-$level.lzh" -$level --mtime 0 -C "$winwork\\in" src res
    cmp "$work/host-$level.lzh" "$work/windows-$level.lzh"
    echo "level $level: $(stat -c %s "$work/host-$level.lzh") bytes, the same from both"
done
