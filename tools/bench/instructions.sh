#!/bin/sh
# Counts the instructions of each operation and of its baseline with callgrind:
# a second measure beside tools/bench/run.sh, repeatable to the instruction and
# blind to page placement and to other work on the machine. The benchmark
# binary runs one operation a fixed number of times (--count=NAME) and
# callgrind collects inside that loop only. Prints instructions per call and
# the ratio of each operation to its baseline.
# Usage: tools/bench/instructions.sh [library directory, default build/bench]
# (the directory must hold libutil_stringloader.so.1, so another build of the
# library can be counted with the same benchmark binary).
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
library=${1:-build/bench}
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
work=$(mktemp -d /tmp/ul_count.XXXXXX)
trap 'rm -rf "$work"' EXIT

# name, calls per run (as in RunCount)
count() {
    LD_LIBRARY_PATH="$library" valgrind --tool=callgrind --callgrind-out-file="$work/$1.out" \
        --collect-atstart=no '--toggle-collect=*CountedLoop*' build/bench/bench/stringloader_bench "--count=$1" \
        >/dev/null 2>&1
    callgrind_annotate "$work/$1.out" | awk -v calls="$2" '/PROGRAM TOTALS/ { gsub(",", "", $1); printf "%.1f\n", $1 / calls }'
}

printf '%-24s %12s %12s %7s\n' operation ours baseline ratio
for pair in exact:100000 neutral:100000 english:100000 match:100000 load:10; do
    name=${pair%%:*}
    calls=${pair#*:}
    ours=$(count "$name" "$calls")
    base=$(count "$name-floor" "$calls")
    printf '%-24s %12.0f %12.0f %7.2f\n' "$name" "$ours" "$base" "$(echo "$ours / $base" | bc -l)"
done
