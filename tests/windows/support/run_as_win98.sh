#!/bin/bash
# run_as_win98.sh WINE_RUN BUILD_DIR PROGRAM.exe [GTEST ARGS...]
# Runs a test program in a prefix of its own that reports Windows 98
# (GetVersion top bit set), so the 9x branches run for real.
set -euo pipefail
wine_run=$1 build=$2 prog=$3; shift 3
export ORVIK_PREFIX_NAME=$(basename "$prog" .exe)_win98
"$wine_run" "$build" "$prog" --gtest_list_tests >/dev/null
WINEPREFIX=$build/wine/prefixes/$ORVIK_PREFIX_NAME WINEDEBUG=-all \
    wine reg add 'HKCU\Software\Wine' /v Version /d win98 /f >/dev/null
WINEPREFIX=$build/wine/prefixes/$ORVIK_PREFIX_NAME wineserver -w
ORVIK_EXPECT_WIN9X=1 ORVIK_KEEP_PREFIX=1 exec "$wine_run" "$build" "$prog" "$@"
