#!/usr/bin/env python3
"""Prints each benchmark as a ratio to its floor measured in the same run, with its
target, from Google Benchmark's JSON output (one or more files)."""
import json
import sys

SIZES = (1000, 10000, 100000, 1000000)
# label, ours, floor, target ratio
RATIOS = [
    ("load, fresh handle / parse", "BM_LoadFresh/{n}/0/manual_time", "BM_Parse/{n}", 1.4),
    ("load shuffled, fresh handle / parse", "BM_LoadFresh/{n}/1/manual_time", "BM_Parse/{n}", 1.4),
    ("load shuffled into shuffled handle / parse", "BM_ReloadShuffled/{n}/manual_time", "BM_Parse/{n}", 1.6),
    ("state document, source order / write", "BM_StateJson/{n}/0", "BM_WriteFloor/{n}/0", 0.8),
    ("state document, shuffled / write", "BM_StateJson/{n}/1", "BM_WriteFloor/{n}/1", 1.3),
    ("shuffle off / parse", "BM_ShuffleOff/{n}/manual_time", "BM_Parse/{n}", 0.1),
    ("destroy / parse", "BM_Destroy/{n}/iterations:20/manual_time", "BM_Parse/{n}", 0.05),
    ("first add after a load / parse", "BM_FirstAddAfterLoad/{n}/iterations:20/manual_time", "BM_Parse/{n}", 0.5),
]
ABSOLUTE = [
    ("add or play next, current first (us)", "BM_AddWithCurrent/{n}/0/manual_time", 20.0),
    ("add or play next, current halfway (us)", "BM_AddWithCurrent/{n}/1/manual_time", 20.0),
]

times = {}
for path in sys.argv[1:]:
    with open(path) as f:
        for b in json.load(f)["benchmarks"]:
            if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
                continue
            name = b.get("run_name", b["name"])
            unit = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b["time_unit"]]
            # Manual-time rows count the timed part only: their real time.
            value = b["real_time"] if name.endswith("manual_time") else b["cpu_time"]
            times[name] = value * unit

failed = 0
for label, ours, floor, limit in RATIOS:
    for n in SIZES:
        a, b = times.get(ours.format(n=n)), times.get(floor.format(n=n))
        if a and b:
            ratio = a / b
            ok = ratio <= limit
            failed += not ok
            print(f"{label:44s} {n:>8d}  {a * 1e3:9.3f} ms / {b * 1e3:9.3f} ms = {ratio:6.3f}  "
                  f"(target {limit}) {'ok' if ok else 'MISSED'}")
for label, ours, limit in ABSOLUTE:
    row = []
    for n in SIZES:
        a = times.get(ours.format(n=n))
        if a:
            row.append(f"{n}: {a * 1e6:7.2f}")
    if row:
        print(f"{label:44s} " + "  ".join(row) + f"  (target <= {limit} at 100000, flat)")
print(f"{failed} ratio(s) missed" if failed else "every ratio within its target")
