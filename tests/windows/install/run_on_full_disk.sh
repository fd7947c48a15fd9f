#!/bin/bash
# run_on_full_disk.sh WINE_RUN BUILD_DIR PROGRAM.exe GTEST_FILTER
# Drive F: of the program's prefix is a small tmpfs, so a write that reaches
# its end really fails with ERROR_DISK_FULL. Unmounted on every way out.
set -euo pipefail
wine_run=$1 build=$2 prog=$3 filter=$4
export ORVIK_PREFIX_NAME=$(basename "$prog" .exe)_full_disk
prefix=$build/wine/prefixes/$ORVIK_PREFIX_NAME
disk=$build/wine/$ORVIK_PREFIX_NAME.tmpfs
# A fresh prefix first; the drive is mapped into it afterwards.
ORVIK_PREFIX_AGAIN=1 "$wine_run" "$build" "$prog" --gtest_list_tests >/dev/null
mkdir -p "$disk"
mount -t tmpfs -o size=600k tmpfs "$disk"
trap 'umount "$disk"; rmdir "$disk"' EXIT
ln -sfn "$disk" "$prefix/dosdevices/f:"
ORVIK_KEEP_PREFIX=1 "$wine_run" "$build" "$prog" --gtest_filter="$filter"
