#!/usr/bin/env python3
"""Prints, for Google Benchmark JSON reports of several rounds, each round's
medians and the ratio of each benchmark to its baseline per round, with the
minimum, median and maximum over the rounds. Ratios use CPU time (the time
the benchmark thread spent on the CPU, system calls included), which other
processes on a shared machine disturb far less than wall time."""
import json
import statistics
import sys

# (label, ours, baseline)
RATIOS = [
    ("load / limit plus store", "BM_Load_Ours", "BM_Load_LimitPlusStore"),
    ("load / limit", "BM_Load_Ours", "BM_Load_Limit"),
    ("load UTF-8 twins / SimpleIni", "BM_Load_OursUtf8", "BM_Load_SimpleIni"),
    ("load mixed / SimpleIni", "BM_Load_Ours", "BM_Load_SimpleIni"),
    ("LoadStringW exact / floor", "BM_LoadStringW_Exact", "BM_LoadStringW_ExactFloor"),
    ("LoadStringW neutral / floor", "BM_LoadStringW_Neutral", "BM_LoadStringW_NeutralFloor"),
    ("LoadStringW English / floor", "BM_LoadStringW_English", "BM_LoadStringW_EnglishFloor"),
    ("LoadStringW neutral / answering table alone", "BM_LoadStringW_Neutral", "BM_LoadStringW_NeutralOneFind"),
    ("LoadStringW English / answering table alone", "BM_LoadStringW_English", "BM_LoadStringW_EnglishOneFind"),
    ("GetStringLangIDEx / floor", "BM_GetStringLangIDEx", "BM_GetStringLangIDEx_Floor"),
    ("MatchMostAppropriateLangID miss / floor", "BM_MatchMostAppropriateLangID_Miss",
     "BM_MatchMostAppropriateLangID_MissFloor"),
    ("copy loader / copy std::map store", "BM_CopyLoader", "BM_CopyLoader_Floor"),
    # c_interface_bench: the C lookups into a reused buffer against LoadStringW.
    ("C UTF-16 exact / LoadStringW", "BM_CString16_Exact", "BM_LoadStringW_Exact"),
    ("C UTF-8 exact / LoadStringW", "BM_CString_Exact", "BM_LoadStringW_Exact"),
    ("C UTF-16 neutral / LoadStringW", "BM_CString16_Neutral", "BM_LoadStringW_Neutral"),
    ("C UTF-8 neutral / LoadStringW", "BM_CString_Neutral", "BM_LoadStringW_Neutral"),
    ("C UTF-16 English / LoadStringW", "BM_CString16_English", "BM_LoadStringW_English"),
    ("C UTF-8 English / LoadStringW", "BM_CString_English", "BM_LoadStringW_English"),
]

UNITS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def medians_of(path):
    """{run name: (cpu ns, wall ns)}: the median aggregates, or the single runs."""
    with open(path) as f:
        report = json.load(f)
    medians = {}
    for bench in report["benchmarks"]:
        if bench.get("aggregate_name") == "median":
            scale = UNITS[bench.get("time_unit", "ns")]
            medians[bench["run_name"]] = (bench["cpu_time"] * scale, bench["real_time"] * scale)
    if not medians:
        for bench in report["benchmarks"]:
            scale = UNITS[bench.get("time_unit", "ns")]
            medians[bench["name"]] = (bench["cpu_time"] * scale, bench["real_time"] * scale)
    return report["context"], medians


def main(paths):
    rounds = [medians_of(path) for path in paths]
    context = rounds[0][0]
    print(f"host: {context.get('host_name', '?')}, {context.get('num_cpus', '?')} CPUs, "
          f"load average {context.get('load_avg', '?')}, {len(rounds)} rounds")
    print(f"{'benchmark (median CPU ns per round)':45}" + "".join(f"{i + 1:>12}" for i in range(len(rounds))))
    for name in rounds[0][1]:
        print(f"{name:45}" + "".join(f"{r[1].get(name, (float('nan'),))[0]:12.1f}" for r in rounds))
    print()
    print(f"{'ratio (median CPU time)':45}" + "".join(f"{i + 1:>7}" for i in range(len(rounds))) +
          f"{'min':>8}{'median':>8}{'max':>8}")
    for label, ours, base in RATIOS:
        values = [r[1][ours][0] / r[1][base][0] for r in rounds if ours in r[1] and base in r[1]]
        if values:
            print(f"{label:45}" + "".join(f"{v:7.2f}" for v in values) +
                  f"{min(values):8.2f}{statistics.median(values):8.2f}{max(values):8.2f}")
    trace = [r[1].get("BM_TraceLog_NoListener") for r in rounds]
    load = [r[1].get("BM_Load_Ours") for r in rounds]
    if all(trace) and all(load):
        records = 76 * 26 + 4  # per load: 24 string records and entry/exit per file, 4 for the scan
        shares = [100 * t[0] * records / l[0] for t, l in zip(trace, load)]
        print(f"{'trace records of a load, nobody listening':45} {statistics.median(shares):7.2f}% (median)")


if __name__ == "__main__":
    main(sys.argv[1:] if len(sys.argv) > 1 else ["/dev/stdin"])
