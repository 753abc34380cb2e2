#!/usr/bin/env python3
"""Prints the ratios the benchmarks exist for, from Google Benchmark's JSON output."""
import json
import sys

PAIRS = [
    ("load / yyjson_read (shuffle off)", "BM_LoadTracks/{n}/0", "BM_YyjsonRead/{n}", 3.0),
    ("load / yyjson_read (shuffle on)", "BM_LoadTracks/{n}/1", "BM_YyjsonRead/{n}", 3.0),
    ("reload / yyjson_read (shuffle off)", "BM_ReloadTracks/{n}/0", "BM_YyjsonRead/{n}", None),
    ("reload / yyjson_read (shuffle on)", "BM_ReloadTracks/{n}/1", "BM_YyjsonRead/{n}", None),
    ("state document / yyjson write", "BM_StateJson/{n}", "BM_YyjsonWriteBuilt/{n}", 2.5),
]

times = {}
for path in sys.argv[1:]:
    with open(path) as f:
        for b in json.load(f)["benchmarks"]:
            times[b["name"]] = b["cpu_time"] * {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b["time_unit"]]

for label, ours, base, limit in PAIRS:
    for n in (1000, 10000, 100000):
        a, b = times.get(ours.format(n=n)), times.get(base.format(n=n))
        if a and b:
            print(f"{label:36s} n={n:<7d} {a * 1e3:9.3f} ms / {b * 1e3:9.3f} ms = {a / b:5.2f} " + (f" (limit {limit})" if limit else ""))
