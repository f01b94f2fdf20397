#!/bin/sh
# Builds the benchmarks (preset "bench": Release, build/bench) and runs them in
# R rounds. Before each round the shared library is copied to a fresh file in
# a fresh directory and the benchmark loads that copy, so that no round
# inherits another's page placement of the library's code. Prints each
# round's ratios to their baselines and the spread over the rounds.
# Usage: tools/bench/run.sh [rounds, default 5] [extra benchmark arguments...]
# BENCH=c_interface_bench runs that benchmark instead of stringloader_bench.
# (each round runs 3 repetitions; --benchmark_repetitions=N overrides that).
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
rounds=${1:-5}
bench=${BENCH:-stringloader_bench}
[ $# -gt 0 ] && shift
cd "$root"
cmake --preset bench >/dev/null
cmake --build --preset bench
library=$(readlink -f build/bench/libutil_stringloader.so.1)
work=$(mktemp -d /tmp/ul_bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
round=1
while [ "$round" -le "$rounds" ]; do
    dir="$work/round$round"
    mkdir "$dir"
    cp "$library" "$dir/libutil_stringloader.so.1" # the name the benchmark asks the loader for
    echo "== round $round of $rounds (library copied to $dir)"
    LD_LIBRARY_PATH="$dir" "build/bench/bench/$bench" --benchmark_repetitions=3 \
        --benchmark_report_aggregates_only=true --benchmark_out="$work/round$round.json" \
        --benchmark_out_format=json "$@" >/dev/null
    round=$((round + 1))
done
python3 tools/bench/ratios.py "$work"/round*.json
