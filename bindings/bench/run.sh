#!/usr/bin/env bash
# The bindings' per-call overhead: each binding against the C call, on 1,000 tracks.
#   bindings/bench/run.sh BUILD_DIR    (the bindings' build, e.g. build/bindings)
# Prints nanoseconds per call (best of five rounds) and each binding's cost over C.
set -euo pipefail
build=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
PBQ_LIBRARY=$(sed -n 's/^PBQ_LIBRARY:FILEPATH=//p' "$build/CMakeCache.txt")
export PBQ_LIBRARY PBQ_ADDON=$build/node/pbq.node
out=$build/bench
"$out/pbq_bindings_bench_c" > "$out/c.txt"
/usr/bin/python3 "$here/bench.py" > "$out/python.txt"
java -cp "$build/java/pbq.jar:$out/pbq-bench.jar" Bench > "$out/java.txt"
node "$here/bench.js" > "$out/node.txt"
/usr/bin/python3 - "$out" <<'PY'
import sys
out = sys.argv[1]
def read(host):
    return {k: float(v) for k, v in (line.split() for line in open(f"{out}/{host}.txt"))}
c = read("c")
hosts = [("Python", read("python")), ("Java", read("java")), ("Node", read("node"))]
print(f"state document: {c['document_bytes']:.0f} bytes, 1,000 tracks")
print()
print("| call | C | " + " | ".join(f"{n} | over C" for n, _ in hosts) + " |")
print("|---|---|" + "---|---|" * len(hosts))
for key, label in [("next", "`next`"), ("state_json", "state document (text)"), ("state", "state document, parsed")]:
    cells = [f"{c[key]:,.0f} ns" if key in c else "-"]
    for _, h in hosts:
        if key not in h:
            cells += ["-", ""]
        else:
            cells += [f"{h[key]:,.0f} ns", f"+{h[key] - c['state_json' if key == 'state' else key]:,.0f} ns"]
    print(f"| {label} | " + " | ".join(cells) + " |")
PY
