#!/usr/bin/env bash
# Runs the whole suite (scripts/test.sh) several times in a row with two CPU-bound processes
# beside it, as on a machine that is busy with other work, and says how long each run took
# and which tests were slowest. Stops at the first run that fails.
# Usage: scripts/test_under_load.sh [runs, 3 by default] [ctest arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
shift || true
scripts/deps.sh scripts/packages/build.txt scripts/packages/test.txt
mkdir -p build
stress-ng --cpu 2 --quiet &
hogs=$!
trap 'kill $hogs 2>/dev/null || true' EXIT
for run in $(seq "$runs"); do
    log=build/under-load-$run.log
    start=$(date +%s)
    scripts/test.sh "$@" >"$log" 2>&1 || {
        tail -n 40 "$log"
        echo "run $run of $runs failed after $(($(date +%s) - start)) s: $log"
        exit 1
    }
    echo "run $run of $runs passed in $(($(date +%s) - start)) s; slowest tests:"
    # ctest's lines: "12/130 Test  #38: name ....   Passed   27.70 sec"
    awk '/ Test +#[0-9]+: / { print $(NF-1), $4 }' "$log" | sort -rn | head -n 5 | sed 's/^/    /'
done
