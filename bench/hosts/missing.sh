#!/usr/bin/env bash
# pbq-play on a list whose files are all missing (an unmounted music drive), at
# each length in BENCH_SIZES: how soon it gives up, with its one summary line, and
# how soon a `quit` typed one second after the start is obeyed.
#   bench/hosts/missing.sh     (from the repository root)
# BENCH_SIZES (default '10 100000 1000000'), PBQ_RELEASE (default build/release,
# the release preset's build with the player).
#
# Targets, at every length up to 100,000: `quit` typed one second after the start
# obeyed within one second; the player gives up, with its summary line, within 10 s.
# Longer lists are timed and shown, not held to them (loading the list alone grows
# with its length).
set -euo pipefail
sizes=${BENCH_SIZES:-10 100000 1000000}
release=${PBQ_RELEASE:-build/release}
play=$release/player/pbq-play
here=$(dirname "$0")
[ -x "$play" ] || { echo "missing.sh: $play is missing (build the release preset)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The value of the line "NAME: VALUE" in the text $1 (NAME may hold ": " itself).
field() { printf '%s\n' "$1" | awk -v name="$2" 'index($0, name ": ") == 1 { print substr($0, length(name) + 3) }'; }
missed=0
target() {
  if [ "$2" = held ]; then echo "target $1: held"; else echo "target $1: MISSED ($2)"; missed=1; fi
}

for n in $sizes; do
  list=$work/gone-$n.json
  python3 -c '
import json, sys
n = int(sys.argv[1])
json.dump([{"streamURL": "/nonexistent/music/%07d.flac" % i, "title": "Gone %d" % i} for i in range(n)], open(sys.argv[2], "w"))
' "$n" "$list"

  # Left alone: the summary line, then quit.
  alone=$(XDG_STATE_HOME="$work/state" python3 "$here/timed_run.py" --mark "stop: " --quit-on "stop: " --limit 120 \
    -- "$play" --sink fake --fresh --no-mpris "$list")
  gave_up=$(field "$alone" "first stop: ")
  lines=$(field "$alone" "lines")
  echo "missing $n entries, gives up after (s): $gave_up"
  echo "missing $n entries, lines printed: $lines"

  # quit typed one second after the start.
  typed=$(XDG_STATE_HOME="$work/state" python3 "$here/timed_run.py" --quit-at 1.0 --limit 120 \
    -- "$play" --sink fake --fresh --no-mpris "$list")
  quit_at=$(field "$typed" "quit typed")
  exited=$(field "$typed" "exited")
  took=$(awk -v a="$quit_at" -v b="$exited" 'BEGIN { printf "%.3f", b - a }')
  echo "missing $n entries, quit obeyed after (s): $took"

  if [ "$n" -le 100000 ]; then
    target "missing $n entries: quit typed at 1 s obeyed within 1 s" \
      "$(awk -v t="$took" 'BEGIN { if (t <= 1.0) print "held"; else printf "%.3f s\n", t }')"
    target "missing $n entries: gives up with its summary line within 10 s" \
      "$(awk -v t="$gave_up" 'BEGIN { if (t != "none" && t <= 10.0) print "held"; else printf "%s s\n", t }')"
  fi
done
exit $missed
