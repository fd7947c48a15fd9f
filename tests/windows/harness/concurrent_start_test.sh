#!/bin/bash
# The first RUNS wine-run calls on a fresh build tree, started together:
# each must get a whole prefix (the program checks it from inside) and the
# Wine template must be made once, by one of them. Passing runs leave no
# prefix behind, a failing one keeps its prefix.
#   concurrent_start_test.sh WINE_RUN PROGRAM TREE RUNS
set -uo pipefail
wine_run=$1 program=$2 tree=$3 runs=$4
rm -rf "$tree"
mkdir -p "$tree"
cp "$program" "$tree/"
exe=$tree/$(basename "$program")

pids=()
for i in $(seq "$runs"); do
    ORVIK_PREFIX_NAME=run$i "$wine_run" "$tree" "$exe" >"$tree/run$i.log" 2>&1 &
    pids+=($!)
done
faults=0
for i in $(seq "$runs"); do
    wait "${pids[i - 1]}"
    rc=$?
    if ((rc != 0)); then
        echo "run $i: exit code $rc"
        cat "$tree/run$i.log"
        ((++faults))
    fi
done
made=$(cat "$tree"/run*.log | grep -c '^wine-run: making the template')
templates=$(find "$tree/wine" -maxdepth 1 -name 'template*' -type d | wc -l)
echo "$runs runs, $faults failed; the template made $made time(s), $templates template folder(s)"
((faults == 0 && made == 1 && templates == 1)) || exit 1

# Passing runs leave no prefix; a failing one keeps its own and says where.
left=$(ls "$tree/wine/prefixes")
[[ -z $left ]] || { echo "prefixes left by passing runs: $left"; exit 1; }
if ORVIK_PREFIX_NAME=failing "$wine_run" "$tree" "$tree/absent.exe" >"$tree/failing.log" 2>&1; then
    echo "a missing program ran"; exit 1
fi
if ! grep -qF "its prefix is kept: $tree/wine/prefixes/failing" "$tree/failing.log" ||
    [[ ! -d $tree/wine/prefixes/failing/drive_c ]]; then
    echo "the failing run's prefix is not kept, or the run does not say where:"
    cat "$tree/failing.log"
    exit 1
fi
rm -rf "$tree"
