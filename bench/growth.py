#!/usr/bin/env python3
"""Prints how each scale benchmark grows: its time at every size and time(8N) / time(N).

A constant cost gives about 1, a linear one about 8, a quadratic one about 64.
Usage: bench/growth.py SCALE.json [LIMIT]; with LIMIT, exits 1 when a ratio exceeds it."""
import json
import sys

UNITS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
VARIANTS = {
    "BM_ScaleLoad": ("load", "load, shuffle on"),
    "BM_ScaleAdd": ("add to queue", "play next"),
    "BM_ScaleNavigation": ("next + ended + previous",),
    "BM_ScaleShuffleToggle": ("shuffle on + off",),
    "BM_ScaleStateJson": ("state document", "state document, shuffled"),
    "BM_ScaleRestore": ("restore", "restore, shuffle on"),
    "BM_ScaleDestroy": ("destroy", "destroy, shuffled"),
}

rows = {}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b.get("run_type", "iteration") != "iteration" or b.get("error_occurred"):
        continue
    family, n, variant = b["name"].split("/")[:3]
    label = VARIANTS.get(family, (family,) * 2)[int(variant)]
    rows.setdefault(label, {})[int(n)] = b["cpu_time"] * UNITS[b["time_unit"]]

def shown(seconds):
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("us", 1e-6)):
        if seconds >= scale:
            return f"{seconds / scale:8.3f} {unit:2s}"
    return f"{seconds / 1e-9:8.3f} ns"


limit = float(sys.argv[2]) if len(sys.argv) > 2 else None
worst = 0.0
print(f"{'call (CPU time per call)':28s}" + "".join(f"{n:>12d}" for n in (1024, 8192, 65536, 524288)) + "   growth per 8x")
for label, times in rows.items():
    sizes = sorted(times)
    cells = "".join(f"{shown(times[n]):>12s}" for n in sizes)
    ratios = [times[b] / times[a] for a, b in zip(sizes, sizes[1:])]
    worst = max([worst] + ratios)
    print(f"{label:28s}{cells}   " + " ".join(f"{r:5.1f}" for r in ratios))
if limit is not None and worst > limit:
    print(f"growth: a ratio of {worst:.1f} is above {limit}", file=sys.stderr)
    sys.exit(1)
