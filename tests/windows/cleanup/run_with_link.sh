#!/bin/bash
# run_with_link.sh WINE_RUN BUILD_DIR PROGRAM.exe
# Wine cannot create a symbolic link or junction itself, but shows a host
# symbolic link inside the prefix as a directory reparse point. Stage one
# builds the earlier program folder in a fresh prefix, the link is made here,
# stage two runs the removal in the same prefix.
set -euo pipefail
wine_run=$1 build=$2 prog=$3
export ORVIK_PREFIX_NAME=$(basename "$prog" .exe)
ORVIK_PREFIX_AGAIN=1 "$wine_run" "$build" "$prog" --gtest_filter='LinkSetup.*'
drive_c=$build/wine/prefixes/$ORVIK_PREFIX_NAME/drive_c
folders=("$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/"*" Ver5.0")
ln -s "$drive_c/Shared/precious" "${folders[0]}/shared"
# Version 4.0's program folder itself becomes a link.
folders=("$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/"*" Ver4.0")
rm -rf "${folders[0]}"
ln -s "$drive_c/Shared/folder" "${folders[0]}"
ORVIK_KEEP_PREFIX=1 exec "$wine_run" "$build" "$prog" --gtest_filter='-LinkSetup.*'
