#!/usr/bin/env bash
# Line and branch coverage of src/ under the whole test run: a gcc --coverage build in
# build/coverage, every ctest test, an HTML report (build/coverage/html/index.html) and
# a summary. Fails when the branch coverage of src/ is below the floor written in
# scripts/coverage-floor. Every branch of src/ that a test can reach is reached; the
# rest are marked in the code with the reason beside the marker: a line carries
# GCOVR_EXCL_LINE or sits between GCOVR_EXCL_START and GCOVR_EXCL_STOP, and an assert's
# failing side is never counted.
# Usage: scripts/coverage.sh [JOBS]
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${1:-$(nproc)}
build=build/coverage
floor=$(grep -v '^#' scripts/coverage-floor | tr -d '[:space:]')

# Atomic counters: the thread and unload tests run the library on many threads at once,
# and plain counters updated by several threads come out garbled.
# yyjson's accessors are forced inline, which would count their own null checks as
# branches of every line that reads a value; here they stay ordinary functions.
flags="--coverage -fprofile-update=atomic -Dyyjson_inline=inline"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$build" -j "$jobs" >/dev/null
# Counts from an earlier run would be added to this one's.
find "$build" -name '*.gcda' -delete
# The library's own tests. The host's-view tests (embed_*, the player) build and run
# whole consumers, which a --coverage static library cannot serve (they would need
# libgcov), and they run in every release build anyway.
ctest --test-dir "$build" -j "$jobs" -E '^(embed_|player)' --output-on-failure >"$build/ctest.log" ||
  { tail -40 "$build/ctest.log"; echo "coverage: a test failed, see $build/ctest.log" >&2; exit 1; }

mkdir -p "$build/html"
# An assert's failing side is unreachable by design: its branches are not counted.
gcovr --root . --filter 'src/' --object-directory "$build" --exclude-directories ".*/CMakeFiles/[0-9][0-9.]*$" \
  --exclude-branches-by-pattern '^\s*assert\(.*' \
  --html-details "$build/html/index.html" --json-summary "$build/summary.json" >/dev/null
python3 - "$build/summary.json" "$floor" <<'PY'
import json, sys
summary = json.load(open(sys.argv[1]))
floor = float(sys.argv[2])
lines = (summary["line_covered"], summary["line_total"], summary["line_percent"])
branches = (summary["branch_covered"], summary["branch_total"], summary["branch_percent"])
print("coverage of src/: lines %d/%d (%.1f%%), branches %d/%d (%.1f%%)" % (lines + branches))
for f in sorted(summary["files"], key=lambda f: f["filename"]):
    if f["branch_total"] and f["branch_covered"] < f["branch_total"]:
        print("  %-28s branches %d/%d" % (f["filename"], f["branch_covered"], f["branch_total"]))
if branches[2] < floor:
    print("coverage: src/ branch coverage %.1f%% is below the floor of %.1f%% (scripts/coverage-floor)"
          % (branches[2], floor), file=sys.stderr)
    sys.exit(1)
PY
echo "coverage: report in $build/html/index.html"
