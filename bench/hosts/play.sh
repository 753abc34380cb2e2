#!/usr/bin/env bash
# pbq-play's typed `next` at each queue length, on the fake sink with a JSON list of
# the test tones, against the library's own state document at that length.
#   bench/hosts/play.sh        (from the repository root)
# BENCH_SIZES (default '10 100000 1000000'), PBQ_RELEASE (default build/release,
# the release preset's build with the player), BENCH_NEXTS (the nexts timed per
# run; by default more for short queues).
# A typed command's cost is the time of a run with the nexts less that of the same
# run without them (launch, load and quit cancel out); the best of three runs each.
set -euo pipefail
sizes=${BENCH_SIZES:-10 100000 1000000}
release=${PBQ_RELEASE:-build/release}
play=$release/player/pbq-play
make_album=$release/player/pbq-make-album
library=$release/libpbq.so
here=$(dirname "$0")
for f in "$play" "$make_album" "$library"; do
  [ -x "$f" ] || [ -f "$f" ] || { echo "play.sh: $f is missing (build the release preset)" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$make_album" "$work/album" 8 30 >/dev/null

now_ns() { date +%s%N; }

# Seconds for one run of pbq-play on LIST with NEXTS typed nexts, then quit.
run_once() {
  local list=$1 nexts=$2 script=$work/script start end
  { echo "repeat all"; for ((i = 0; i < nexts; i++)); do echo next; done; echo quit; } >"$script"
  rm -rf "$work/state"
  start=$(now_ns)
  XDG_STATE_HOME="$work/state" "$play" --sink fake --fresh --no-mpris "$list" <"$script" >/dev/null 2>&1
  end=$(now_ns)
  echo $(((end - start) / 1000))  # microseconds
}
best_of_three() {
  local a b c
  a=$(run_once "$@"); b=$(run_once "$@"); c=$(run_once "$@")
  a=$((a < b ? a : b))
  echo $((a < c ? a : c))
}

declare -A next_ms unit_ms
for n in $sizes; do
  list=$work/album/list-$n.json
  python3 "$here/tone_list.py" list "$work/album" "$n" "$list"
  nexts=${BENCH_NEXTS:-$((n <= 10000 ? 200 : n <= 100000 ? 20 : 10))}
  unit=$(python3 "$here/tone_list.py" unit "$library" "$list")
  base=$(best_of_three "$list" 0)
  with=$(best_of_three "$list" "$nexts")
  per=$(awk -v a="$with" -v b="$base" -v k="$nexts" 'BEGIN { d = (a - b) / k / 1000; printf "%.3f", d < 0 ? 0 : d }')
  unit_ms[$n]=$(awk -v u="$unit" 'BEGIN { printf "%.6f", u * 1000 }')
  next_ms[$n]=$per
  echo "state document $n tracks: ${unit_ms[$n]} ms"
  echo "pbq-play launch, load and quit $n tracks: $(awk -v b="$base" 'BEGIN { printf "%.3f", b / 1e6 }') s"
  echo "pbq-play typed next $n tracks: $per ms ($(awk -v p="$per" -v u="${unit_ms[$n]}" \
    'BEGIN { printf "%.2f", p / u }') state documents)"
done

missed=0
if [ -n "${next_ms[10]:-}" ] && [ -n "${next_ms[100000]:-}" ]; then
  more=$(awk -v a="${next_ms[100000]}" -v b="${next_ms[10]}" -v u="${unit_ms[100000]}" 'BEGIN { printf "%.2f", (a - b) / u }')
  text="pbq-play typed next at 100000 tracks costs at most 5 state documents more than at 10"
  echo "pbq-play typed next 100000 over 10 tracks: $more state documents more"
  if awk -v m="$more" 'BEGIN { exit !(m <= 5) }'; then
    echo "target $text: held"
  else
    echo "target $text: MISSED ($more state documents more)"
    missed=1
  fi
fi
exit $missed
