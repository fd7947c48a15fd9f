#!/bin/bash
# run_killed.sh WINE_RUN BUILD_DIR PROGRAM.exe FILES TREE
# Installations and uninstalls stopped dead. The stages of PROGRAM (FILES:
# the file members of its product archive, made of the folder TREE) run in
# one prefix; at chosen
# points every process of the prefix is ended at once (wineserver -k), as a
# forced end or a crash would. The stages after it check that the stored
# uninstall command, or the setup run again and then that command, leave
# nothing of the product.
set -euo pipefail
wine_run=$1 build=$2 prog=$3 files=$4 tree=$5
export ORVIK_PREFIX_NAME=$(basename "$prog" .exe)
prefix=$build/wine/prefixes/$ORVIK_PREFIX_NAME
# Every stage but the last leaves the prefix to the next.
export ORVIK_PREFIX_AGAIN=1

stage() { # test dir
    echo "== $1 in $2"
    ORVIK_CRASH_DIR="C:\\Crash\\$2" "$wine_run" "$build" "$prog" --gtest_filter="CrashStage.$1"
    export ORVIK_KEEP_PREFIX=1
}
log_lines() { # dir
    local log=$prefix/drive_c/Crash/$1/INSTALL.LOG
    if [[ -f $log ]]; then wc -l <"$log"; else echo 0; fi
}
file_count() { # dir
    find "$prefix/drive_c/Crash/$1" -type f 2>/dev/null | wc -l
}
# killed test dir measure op threshold: runs the stage and ends the prefix
# once "measure dir" op threshold holds; fails if the stage ended first.
killed() {
    local test=$1 dir=$2 measure=$3 op=$4 threshold=$5
    echo "== $test in $dir, stopped dead once $measure $op $threshold"
    ORVIK_CRASH_DIR="C:\\Crash\\$dir" "$wine_run" "$build" "$prog" --gtest_filter="CrashStage.$test" &
    local job=$! now
    while kill -0 "$job" 2>/dev/null; do
        now=$($measure "$dir")
        if ((now $op threshold)); then
            WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
            wait "$job" || true
            echo "stopped at $measure $now"
            return 0
        fi
        sleep 0.01
    done
    wait "$job" || true
    echo "run_killed.sh: $test in $dir ended before it could be stopped ($measure $($measure "$dir"))" >&2
    return 1
}

# A reinstallation stopped, then the stored command.
stage Install Reinstall
before=$(log_lines Reinstall)
killed Install Reinstall log_lines '>=' $((before + files / 3))
stage StoredCommandRemovesEverything Reinstall

# A first installation stopped, then the stored command.
killed Install First log_lines '>=' $((files * 2 / 3))
stage StoredCommandRemovesEverything First

# An installation stopped, the setup run again, then the stored command.
killed Install Again log_lines '>=' $((files / 2))
stage InstallAgainLeavesNothingHalfWritten Again
# Every file as its member holds it, whatever the stopped run left.
diff -r -x INSTALL.LOG -x setdown.exe "$tree" "$prefix/drive_c/Crash/Again"
stage StoredCommandRemovesEverything Again

# An uninstall stopped, then the stored command again.
stage Install Uninstall
killed Uninstall Uninstall file_count '<=' $((files * 2 / 3))
export ORVIK_PREFIX_AGAIN=0
stage StoredCommandRemovesEverything Uninstall
