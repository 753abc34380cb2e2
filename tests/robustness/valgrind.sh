#!/usr/bin/env bash
# Runs every test executable of a build under valgrind memcheck: any memory error, or
# any block definitely or indirectly lost, fails. Tests that are not executables of
# the build (CMake scripts) are left out.
# Usage: tests/robustness/valgrind.sh BUILD_DIR [test name regex]
set -euo pipefail
build=$(cd "${1:?usage: valgrind.sh BUILD_DIR [regex]}" && pwd)
filter=${2:-.}
logs="$build/valgrind"
mkdir -p "$logs"

# Executables that bring their own malloc family are checked below it: valgrind then
# replaces only the C library's allocator, which theirs forwards to.
flags=(--quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect
       --show-leak-kinds=definite,indirect --soname-synonyms=somalloc=nouserintercepts)

tests=$(ctest --test-dir "$build" --show-only=json-v1 | python3 -c '
import json, re, shlex, sys
filt = re.compile(sys.argv[1])
for t in json.load(sys.stdin)["tests"]:
    cmd = t.get("command") or []
    wd = next((p["value"] for p in t.get("properties", []) if p["name"] == "WORKING_DIRECTORY"), ".")
    if cmd and filt.search(t["name"]) and cmd[0].startswith(sys.argv[2] + "/"):
        print("\t".join([t["name"], wd, shlex.join(cmd)]))
' "$filter" "$build")

status=0
count=0
while IFS=$'\t' read -r name wd cmd; do
  [ -n "$name" ] || continue
  eval "argv=($cmd)"
  count=$((count + 1))
  start=$(date +%s)
  if (cd "$wd" && valgrind "${flags[@]}" --log-file="$logs/$name.log" "${argv[@]}" >"$logs/$name.out" 2>&1); then
    echo "valgrind $name: clean ($(( $(date +%s) - start ))s)"
  else
    echo "valgrind $name: FAILED, see $logs/$name.log" >&2
    status=1
  fi
done <<<"$tests"
[ $count -gt 0 ] || { echo "valgrind: no test executables found in $build" >&2; exit 1; }
exit $status
