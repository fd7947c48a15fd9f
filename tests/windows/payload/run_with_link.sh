#!/bin/bash
# run_with_link.sh WINE_RUN BUILD_DIR PROGRAM.exe
# Wine cannot make a junction or symbolic link itself, but shows a host
# symbolic link inside the prefix as a directory reparse point. Stage one
# installs and lists items behind the link-to-be in the log, the links are
# made here, stage two runs the uninstall and the other tests in the same prefix.
set -euo pipefail
wine_run=$1 build=$2 prog=$3
export ORVIK_PREFIX_NAME=$(basename "$prog" .exe)
ORVIK_PREFIX_AGAIN=1 "$wine_run" "$build" "$prog" --gtest_filter='InstallSafetyLinkSetup.*'
drive_c=$build/wine/prefixes/$ORVIK_PREFIX_NAME/drive_c
ln -s "$drive_c/Shared/precious" "$drive_c/Program Files/LinkOrvik/sub"
# INSTALL.LOG of two installations made links: to a file, to a directory.
ln -sf "$drive_c/Shared/system.ini" "$drive_c/Apps/LinkedLog/INSTALL.LOG"
mkdir -p "$drive_c/Shared/logdir" && echo kept >"$drive_c/Shared/logdir/kept.txt"
rm -f "$drive_c/Apps/LinkedDirLog/INSTALL.LOG"
ln -s "$drive_c/Shared/logdir" "$drive_c/Apps/LinkedDirLog/INSTALL.LOG"
ORVIK_KEEP_PREFIX=1 exec "$wine_run" "$build" "$prog" --gtest_filter='-InstallSafetyLinkSetup.*'
