#!/usr/bin/env python3
"""Prints the medians of a Google Benchmark JSON report and the ratios of each
benchmark to its baseline. Ratios use CPU time (the time the benchmark thread
spent on the CPU, system calls included), which other processes on a shared
machine disturb far less than wall time."""
import json
import sys

# (label, ours, baseline)
RATIOS = [
    ("load / limit", "BM_Load_Ours", "BM_Load_Limit"),
    ("load / (limit + 24 stat per file)", "BM_Load_Ours", "BM_Load_LimitWithStats"),
    ("load UTF-8 twins / SimpleIni", "BM_Load_OursUtf8", "BM_Load_SimpleIni"),
    ("load mixed / SimpleIni", "BM_Load_Ours", "BM_Load_SimpleIni"),
    ("parse in memory / split in memory", "BM_ParseTables", "BM_SplitTables"),
    ("LoadStringW exact / floor", "BM_LoadStringW_Exact", "BM_LoadStringW_ExactFloor"),
    ("LoadStringW neutral / floor", "BM_LoadStringW_Neutral", "BM_LoadStringW_NeutralFloor"),
    ("LoadStringW English / floor", "BM_LoadStringW_English", "BM_LoadStringW_EnglishFloor"),
    ("LoadStringW neutral / floor with its miss", "BM_LoadStringW_Neutral", "BM_LoadStringW_NeutralStepsFloor"),
    ("LoadStringW English / floor with its misses", "BM_LoadStringW_English", "BM_LoadStringW_EnglishStepsFloor"),
    ("GetStringLangIDEx / floor", "BM_GetStringLangIDEx", "BM_GetStringLangIDEx_Floor"),
    ("MatchMostAppropriateLangID miss / floor", "BM_MatchMostAppropriateLangID_Miss",
     "BM_MatchMostAppropriateLangID_MissFloor"),
    ("copy loader / copy std::map store", "BM_CopyLoader", "BM_CopyLoader_Floor"),
]

UNITS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def main(path):
    with open(path) as f:
        report = json.load(f)
    medians = {}
    for bench in report["benchmarks"]:
        if bench.get("aggregate_name") == "median":
            scale = UNITS[bench.get("time_unit", "ns")]
            medians[bench["run_name"]] = (bench["cpu_time"] * scale, bench["real_time"] * scale)
    if not medians:  # a run without repetitions
        for bench in report["benchmarks"]:
            scale = UNITS[bench.get("time_unit", "ns")]
            medians[bench["name"]] = (bench["cpu_time"] * scale, bench["real_time"] * scale)

    context = report["context"]
    print(f"host: {context.get('host_name', '?')}, {context.get('num_cpus', '?')} CPUs, "
          f"load average {context.get('load_avg', '?')}")
    print(f"{'benchmark (median)':45} {'CPU ns':>14} {'wall ns':>14}")
    for name, (cpu, real) in medians.items():
        print(f"{name:45} {cpu:14.1f} {real:14.1f}")
    print()
    print(f"{'ratio (median CPU time)':45} {'ratio':>8}")
    for label, ours, base in RATIOS:
        if ours in medians and base in medians:
            print(f"{label:45} {medians[ours][0] / medians[base][0]:8.2f}")
    trace = medians.get("BM_TraceLog_NoListener")
    load = medians.get("BM_Load_Ours")
    if trace and load:
        records = 76 * 26 + 4  # per load: 24 string records and entry/exit per file, 4 for the scan
        print(f"{'trace records of a load, nobody listening':45} {100 * trace[0] * records / load[0]:7.2f}%")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "/dev/stdin")
