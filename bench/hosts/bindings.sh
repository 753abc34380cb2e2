#!/usr/bin/env bash
# The bindings' reads at each queue length (BENCH_SIZES, default 10, 100,000 and
# 1,000,000 tracks): each binding's light read after a command (next(), then view() and
# a window of 20 entries), its whole state() (Python, Node, web; Java has none) and its
# state_json(); the best of several rounds, in milliseconds. Target: the light read at
# 100,000 tracks at most 3x that binding's state_json().
#   bench/hosts/bindings.sh        (from the repository's root; PBQ_RELEASE=build/release)
# Builds the bindings against $PBQ_RELEASE/libpbq.so.1 (and the web package) first.
set -euo pipefail
sizes=${BENCH_SIZES:-10 100000 1000000}
release=${PBQ_RELEASE:-build/release}
here=bench/hosts/bindings
out=build/bench-hosts/bindings
mkdir -p "$out"

if [ ! -f "$release/libpbq.so.1" ]; then
  if [ "$release" != build/release ]; then echo "no $release/libpbq.so.1" >&2; exit 1; fi
  { cmake --preset release && cmake --build --preset release -j "${JOBS:-2}" --target pbq; } >"$out/build.log" 2>&1 ||
    { cat "$out/build.log"; exit 1; }
fi
library=$(realpath "$release/libpbq.so.1")
{
  make bindings/node/node_modules/.package-lock.json
  cmake -S bindings -B "$out/build" -DPBQ_LIBRARY="$library" -DPBQ_BINDINGS_TESTS=OFF
  cmake --build "$out/build" -j "${JOBS:-2}"
  make wasm
  mkdir -p "$out/java" && javac -d "$out/java" -cp "$out/build/java/pbq.jar" "$here/Light.java"
} >"$out/build.log" 2>&1 || { cat "$out/build.log"; exit 1; }

# shellcheck disable=SC2086
{
  PBQ_LIBRARY=$library PYTHONPATH=bindings/python PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 "$here/light.py" $sizes
  PBQ_ADDON=$out/build/node/pbq.node node "$here/light.mjs" node bindings/node $sizes
  java -cp "$out/build/java/pbq.jar:$out/java" Light $sizes
  node "$here/light.mjs" web build/wasm/package $sizes
} >"$out/figures.txt"

/usr/bin/python3 - "$out/figures.txt" <<'PY'
import sys
figures = {}
for line in open(sys.argv[1]):
    name, value = line.rsplit(":", 1)
    host, n, what = name.split()
    figures[(host, int(n), what)] = float(value)
    print(f"bindings {host} {what} at {int(n):,} tracks (ms): {float(value):.3f}")
missed = False
for host in ("python", "node", "java", "web"):
    light, text = figures.get((host, 100000, "light")), figures.get((host, 100000, "state_json"))
    label = f"target {host}: light read at 100,000 tracks at most 3x its state_json()"
    if light is None or text is None:
        print(f"{label}: not measured (BENCH_SIZES has no 100000)")
    elif light <= 3 * text:
        print(f"{label}: held ({light:.1f} ms against {text:.1f} ms, {light / text:.2f}x)")
    else:
        print(f"{label}: MISSED ({light:.1f} ms against {text:.1f} ms, {light / text:.2f}x)")
        missed = True
sys.exit(1 if missed else 0)
PY
