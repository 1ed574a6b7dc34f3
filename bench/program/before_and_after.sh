#!/usr/bin/env bash
# The first click and the tree's PSS of the program as built from an older commit and as built
# now, started in turn in one run, so that both meet the same machine at the same moment.
#   bench/program/before_and_after.sh <commit> [starts] [bench_program options...]
# Builds <commit>'s program in a worktree of its own (build/before-<commit>/, through ccache),
# then runs bench_program once per start for each build in turn, as root with the program kept
# as root (--as-root), and prints both builds' medians. PSS shares the web engine's library with
# any other process mapping it; "alone" counts each page of the tree once, whoever else maps it.
set -euo pipefail
cd "$(dirname "$0")/../.."
commit=$(git rev-parse --short "${1:?usage: $0 <commit> [starts] [bench_program options...]}")
starts=${2:-5}
shift $(($# < 2 ? $# : 2))
before=$PWD/build/before-$commit
if [ ! -x "$before/build/bench_tarvoni_program" ]; then
    [ -d "$before" ] || git worktree add --detach "$before" "$commit" >/dev/null
    options=()
    command -v ccache >/dev/null && options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    (cd "$before" && CCACHE_BASEDIR=$before cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        "${options[@]}" >/dev/null && CCACHE_BASEDIR=$before cmake --build build --parallel "$(nproc)" \
        --target bench_tarvoni_program >/dev/null)
fi
cmake --build build --parallel "$(nproc)" --target bench_program >/dev/null
declare -A clicks pss alone
for ((i = 1; i <= starts; i++)); do
    for build in before now; do
        program=$PWD/build/bench_tarvoni_program
        [ $build = before ] && program=$before/build/bench_tarvoni_program
        log=$(build/bench/program/bench_program --program "$program" --starts 1 --no-references \
            --as-root --only "http with a path" "$@" 2>&1 >/dev/null)
        click=$(sed -n 's/^  first click \([0-9.]*\) ms$/\1/p' <<<"$log")
        memory=$(sed -n 's/^  PSS \([0-9.]*\) MB.*/\1/p' <<<"$log" | head -1)
        own=$(sed -n 's/^  PSS [0-9.]* MB (alone \([0-9.]*\) MB.*/\1/p' <<<"$log" | head -1)
        echo "start $i, $build: first click ${click:-?} ms, PSS ${memory:-?} MB, alone ${own:-?} MB" >&2
        clicks[$build]+="${click:-} "
        pss[$build]+="${memory:-} "
        alone[$build]+="${own:-} "
    done
done
median() { tr ' ' '\n' | grep . | sort -g | awk '{v[NR] = $1} END {print NR ? (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) : "?"}'; }
for build in before now; do
    echo "$build ($([ $build = before ] && echo "$commit" || git rev-parse --short HEAD)):" \
        "first click $(median <<<"${clicks[$build]}") ms, PSS $(median <<<"${pss[$build]}") MB" \
        "(alone $(median <<<"${alone[$build]}") MB)," \
        "medians of $starts starts"
done
