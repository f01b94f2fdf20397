#!/bin/sh
# Builds the benchmarks (preset "bench": Release, build/bench), runs them with
# repetitions and prints the medians and the ratios to their baselines.
# Usage: tools/bench/run.sh [repetitions] [extra benchmark arguments...]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
repetitions=${1:-9}
[ $# -gt 0 ] && shift
cd "$root"
cmake --preset bench >/dev/null
cmake --build --preset bench
out=$(mktemp /tmp/ul_bench_json.XXXXXX)
build/bench/bench/stringloader_bench --benchmark_repetitions="$repetitions" \
    --benchmark_report_aggregates_only=true --benchmark_out="$out" --benchmark_out_format=json "$@"
echo
python3 tools/bench/ratios.py "$out"
rm -f "$out"
