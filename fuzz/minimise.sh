#!/usr/bin/env bash
# Folds a fuzzing run's working corpora into the committed ones: libFuzzer's merge adds
# to fuzz/corpus/<target>/ only the inputs that reach coverage the committed files do
# not, so the corpus stays small and every `make test` replays it.
# FUZZ_BIN names another directory of target binaries (default build/fuzz/fuzz).
# Usage: fuzz/minimise.sh WORK_DIR [target...]   (WORK_DIR holds one directory a target)
set -euo pipefail
cd "$(dirname "$0")/.."
work=${1:?usage: fuzz/minimise.sh WORK_DIR [target...]}
shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(set_tracks play_next add_to_queue restore_resume restore_both operations state_document model)
bin=${FUZZ_BIN:-build/fuzz/fuzz}
for t in "${targets[@]}"; do
  before=$(ls "fuzz/corpus/$t" | wc -l)
  "$bin/pbq_fuzz_$t" -merge=1 -timeout=25 "fuzz/corpus/$t" "$work/$t" >/dev/null 2>&1
  echo "$t: $before files, now $(ls "fuzz/corpus/$t" | wc -l)"
done
