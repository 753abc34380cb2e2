#!/usr/bin/env bash
# pbq-play's typed `next` at each queue length, on the fake sink with a JSON list of
# the test tones, against the library's own state document at that length.
#   bench/hosts/play.sh        (from the repository root)
# BENCH_SIZES (default '10 100000 1000000'), PBQ_RELEASE (default build/release,
# the release preset's build with the player), BENCH_NEXTS (the nexts typed at each
# length; by default fewer for long queues).
# Each `next` is typed while the player plays, once the answer to the line before
# has come; its time runs from the typing to the end of its answer (the median).
set -euo pipefail
sizes=${BENCH_SIZES:-10 100000 1000000}
release=${PBQ_RELEASE:-build/release}
play=$release/player/pbq-play
make_album=$release/player/pbq-make-album
library=$release/libpbq.so
here=$(dirname "$0")
for f in "$play" "$make_album" "$library"; do
  [ -e "$f" ] || { echo "play.sh: $f is missing (build the release preset)" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$make_album" "$work/album" 8 30 >/dev/null

declare -A next_ms unit_ms
for n in $sizes; do
  list=$work/album/list-$n.json
  python3 "$here/tone_list.py" list "$work/album" "$n" "$list"
  nexts=${BENCH_NEXTS:-$((n <= 100000 ? 50 : 15))}
  unit=$(python3 "$here/tone_list.py" unit "$library" "$list")
  rm -rf "$work/state"
  per=$(XDG_STATE_HOME="$work/state" python3 "$here/tone_list.py" typed "$nexts" \
    "$play" --sink fake --fresh --no-mpris "$list")
  unit_ms[$n]=$(awk -v u="$unit" 'BEGIN { printf "%.6f", u * 1000 }')
  next_ms[$n]=$(awk -v p="$per" 'BEGIN { printf "%.3f", p * 1000 }')
  echo "state document $n tracks: ${unit_ms[$n]} ms"
  echo "pbq-play typed next $n tracks: ${next_ms[$n]} ms ($(awk -v p="${next_ms[$n]}" -v u="${unit_ms[$n]}" \
    'BEGIN { printf "%.2f", p / u }') state documents)"
done

missed=0
if [ -n "${next_ms[10]:-}" ] && [ -n "${next_ms[100000]:-}" ]; then
  more=$(awk -v a="${next_ms[100000]}" -v b="${next_ms[10]}" -v u="${unit_ms[100000]}" 'BEGIN { printf "%.2f", (a - b) / u }')
  echo "pbq-play typed next 100000 over 10 tracks: $more state documents more"
  text="pbq-play typed next at 100000 tracks costs at most 5 state documents more than at 10"
  if awk -v m="$more" 'BEGIN { exit !(m <= 5) }'; then
    echo "target $text: held"
  else
    echo "target $text: MISSED ($more state documents more)"
    missed=1
  fi
fi
exit $missed
