#!/bin/bash
# Another build of lzhpack packs a tree byte for byte as the host's lzhpack
# does, at every level: a Windows build under Wine (one prefix for all levels)
# or the static 32-bit x86 build under qemu-i386.
#   same_bytes_test.sh HOST_LZHPACK SOURCE_DIR WORK_DIR wine WINE_RUN BUILD_DIR LZHPACK_EXE
#   same_bytes_test.sh HOST_LZHPACK SOURCE_DIR WORK_DIR qemu LZHPACK_M32
# WORK_DIR must lie in BUILD_DIR for Wine. The tree: the sources and
# resources of this project (text and bitmaps).
set -euo pipefail
host=$(realpath "$1") source=$2 work=$3 how=$4
shift 4
if [[ $how == wine ]]; then
    wine_run=$(realpath "$1") build=$(realpath "$2") exe=$(realpath "$3")
else
    m32=$(realpath "$1")
fi
rm -rf "$work"
mkdir -p "$work/in"
cp -r "$source/src" "$source/res" "$work/in/"
cd "$work"
levels=$(seq 1 9)
for level in $levels; do
    "$host" c "host-$level.lzh" -"$level" --mtime 0 -C in src res
done
case $how in
    wine)
        # Each level is its own Wine run in one prefix: started from the host,
        # a run that cannot start says why, where a batch file's cmd.exe only
        # says the command is unknown.
        export ORVIK_PREFIX_NAME=lzhpack_same_bytes
        for level in $levels; do
            ORVIK_KEEP_PREFIX=$((level > 1)) ORVIK_PREFIX_AGAIN=$((level < 9)) \
                "$wine_run" "$build" "$exe" c "other-$level.lzh" -"$level" --mtime 0 -C in src res
        done ;;
    qemu)
        for level in $levels; do
            qemu-i386 "$m32" c "other-$level.lzh" -"$level" --mtime 0 -C in src res
        done ;;
esac
for level in $levels; do
    cmp "host-$level.lzh" "other-$level.lzh"
    echo "level $level: $(stat -c %s "host-$level.lzh") bytes, the same from both"
done
