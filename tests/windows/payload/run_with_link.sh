#!/bin/bash
# run_with_link.sh WINE_RUN BUILD_DIR PROGRAM.exe
# Wine cannot make a junction or symbolic link itself, but shows a host
# symbolic link inside the prefix as a directory reparse point. Stage one
# installs and lists items behind the link-to-be in the log, the link is made
# here, stage two runs the uninstall and the other tests in the same prefix.
set -euo pipefail
wine_run=$1 build=$2 prog=$3
export ORVIK_PREFIX_NAME=$(basename "$prog" .exe)
ORVIK_PREFIX_AGAIN=1 "$wine_run" "$build" "$prog" --gtest_filter='InstallSafetyLinkSetup.*'
drive_c=$build/wine/prefixes/$ORVIK_PREFIX_NAME/drive_c
ln -s "$drive_c/Shared/precious" "$drive_c/Program Files/LinkOrvik/sub"
ORVIK_KEEP_PREFIX=1 exec "$wine_run" "$build" "$prog" --gtest_filter='-InstallSafetyLinkSetup.*'
