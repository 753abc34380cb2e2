#!/usr/bin/env bash
# Runs every fuzz target (or those named) for SECONDS each, stopping a target early
# after RUNS executions when RUNS is given. New inputs go to a working corpus in the
# build directory, seeded from fuzz/corpus; crashes land in build/fuzz/findings.
# FUZZ_BIN names another directory of target binaries, FUZZ_OUT another place for the
# working corpora, logs and findings.
# Usage: fuzz/run.sh SECONDS [RUNS] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:?usage: fuzz/run.sh SECONDS [RUNS] [target...]}
runs=${2:--1}
shift $(( $# >= 2 ? 2 : 1 ))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(set_tracks play_next add_to_queue restore_resume restore_both operations state_document model)

bin=${FUZZ_BIN:-build/fuzz/fuzz}
out=${FUZZ_OUT:-build/fuzz}
mkdir -p "$out/findings" "$out/logs"
status=0
for t in "${targets[@]}"; do
  work=$out/work/$t
  mkdir -p "$work"
  dict=()
  [ "$t" = operations ] || [ "$t" = model ] || dict=(-dict=fuzz/json.dict)
  log=$out/logs/$t.log
  echo "fuzz $t: ${seconds}s"
  if ! "$bin/pbq_fuzz_$t" "${dict[@]}" -max_total_time="$seconds" -runs="$runs" -timeout=25 \
       -print_final_stats=1 -artifact_prefix="$out/findings/$t-" \
       "$work" "fuzz/corpus/$t" >"$log" 2>&1; then
    echo "fuzz $t: FAILED, see $log and $out/findings/" >&2
    status=1
  fi
  grep -E '^#[0-9]+\s+DONE' "$log" | tail -1 | sed "s/^/  /" || true
done
exit $status
