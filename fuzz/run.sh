#!/usr/bin/env bash
# Runs each libFuzzer harness for a bounded time over its seed corpus.
#   fuzz/run.sh [seconds per harness, default 60] [harness ...]
# Builds the "fuzz" preset into build/fuzz first. New inputs go to
# build/fuzz/corpus/<harness>/, crashes to build/fuzz/artifacts/<harness>/;
# the committed seeds in fuzz/corpus/<harness>/ (crash reproducers included)
# are only read. Exits non-zero when a harness finds a failure.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
harnesses=("$@")
if ((${#harnesses[@]} == 0)); then
    for source in fuzz/*_fuzz.cpp; do
        harnesses+=("$(basename "$source" .cpp)")
    done
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

status=0
for harness in "${harnesses[@]}"; do
    name=${harness%_fuzz}
    work=build/fuzz/corpus/$name
    artifacts=build/fuzz/artifacts/$name
    mkdir -p "$work" "$artifacts" "fuzz/corpus/$name"
    options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
             -artifact_prefix="$artifacts/")
    [[ -f fuzz/$name.dict ]] && options+=(-dict="fuzz/$name.dict")
    # String tables are 2 to 4 KiB. A smaller ASan quarantine keeps the reader's
    # per-input buffers on warm pages: about twice the executions per second.
    settings=()
    [[ $name == profile_reader ]] && options+=(-max_len=4096) && settings=(ASAN_OPTIONS=quarantine_size_mb=16)
    [[ $name == registry_file ]] && options+=(-max_len=1024)
    echo "== $harness: $seconds s"
    if ! env "${settings[@]}" "build/fuzz/fuzz/$harness" "${options[@]}" "$work" "fuzz/corpus/$name" >"build/fuzz/$name.log" 2>&1; then
        status=1
        tail -n 60 "build/fuzz/$name.log"
        echo "== $harness FAILED; reproducer in $artifacts/ (add it to fuzz/corpus/$name/ once fixed)"
    fi
    grep -E '^(Done|#[0-9]+ *DONE)|stat::number_of_executed_units|stat::peak_rss_mb' "build/fuzz/$name.log" || true
    grep -E '^#[0-9]+' "build/fuzz/$name.log" | tail -n 1 || true
done
exit $status
