#!/usr/bin/env bash
# MPRIS round trips with dbus-send at each queue length, on a private session bus:
# reading Position and Metadata, and calling Next (under repeat all, so that every
# call moves). pbq-play runs on the fake sink with a JSON list of the test tones.
#   bench/hosts/mpris.sh        (from the repository root)
# Every length's player runs at once and the timed batches take turns between them.
# BENCH_SIZES (default '10 100000 1000000'), PBQ_RELEASE (default build/release),
# BENCH_ROUND_TRIPS (the calls of each kind in a timed batch; default 20, 5 from
# 1,000,000 on).
set -euo pipefail
if [ -z "${PBQ_BENCH_PRIVATE_BUS:-}" ]; then
  command -v dbus-run-session >/dev/null || { echo "mpris.sh: dbus-run-session is missing" >&2; exit 2; }
  PBQ_BENCH_PRIVATE_BUS=1 exec dbus-run-session -- "$0" "$@"
fi
sizes=${BENCH_SIZES:-10 100000 1000000}
release=${PBQ_RELEASE:-build/release}
play=$release/player/pbq-play
make_album=$release/player/pbq-make-album
here=$(dirname "$0")
for f in "$play" "$make_album"; do
  [ -x "$f" ] || { echo "mpris.sh: $f is missing (build the release preset)" >&2; exit 2; }
done
command -v dbus-send >/dev/null || { echo "mpris.sh: dbus-send is missing" >&2; exit 2; }

work=$(mktemp -d)
player_pids=()
cleanup() {
  for pid in "${player_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
"$make_album" "$work/album" 8 30 >/dev/null

now_ns() { date +%s%N; }
get() {  # get DEST PROPERTY
  dbus-send --session --print-reply --dest="$1" /org/mpris/MediaPlayer2 \
    org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2.Player string:"$2" >/dev/null
}
next() { dbus-send --session --print-reply --dest="$1" /org/mpris/MediaPlayer2 org.mpris.MediaPlayer2.Player.Next >/dev/null; }

# Milliseconds per call over a batch of ROUNDS calls to DEST; a last Position read
# waits for the work the calls left to the player (a method is answered before it
# runs).
batch() {
  local rounds=$1 dest=$2 call=$3 start end
  start=$(now_ns)
  for ((i = 0; i < rounds; i++)); do
    if [ "$call" = Next ]; then next "$dest"; else get "$dest" "$call"; fi
  done
  get "$dest" Position
  end=$(now_ns)
  echo $(((end - start) / (rounds + 1)))
}

# One player per length, all on the bus at once; the batches take turns between
# them, so that the machine's noise falls on every length alike. The best of three
# batches of each kind counts.
declare -A dest ms
fifos=()
for n in $sizes; do
  list=$work/album/list-$n.json
  python3 "$here/tone_list.py" list "$work/album" "$n" "$list"
  mkfifo "$work/input-$n"
  XDG_STATE_HOME="$work/state-$n" "$play" --sink fake --fresh "$list" <"$work/input-$n" >"$work/out-$n" 2>&1 &
  player_pids+=("$!")
  exec {fd}>"$work/input-$n"
  fifos+=("$fd")
  echo "repeat all" >&"$fd"
  until grep -q "on the session bus as " "$work/out-$n"; do
    kill -0 "${player_pids[-1]}" 2>/dev/null || { cat "$work/out-$n" >&2; exit 2; }
    sleep 0.1
  done
  dest[$n]=$(grep -o "on the session bus as .*" "$work/out-$n" | head -1 | cut -d' ' -f6)
  get "${dest[$n]}" Position  # its main loop runs
done
for _ in 1 2 3; do
  for n in $sizes; do
    rounds=${BENCH_ROUND_TRIPS:-$((n >= 1000000 ? 5 : 20))}
    for call in Position Metadata Next; do
      t=$(batch "$rounds" "${dest[$n]}" "$call")
      if [ -z "${ms[$call,$n]:-}" ] || [ "$t" -lt "${ms[$call,$n]}" ]; then ms[$call,$n]=$t; fi
    done
  done
done
for n in $sizes; do
  for call in Position Metadata Next; do
    ms[$call,$n]=$(awk -v t="${ms[$call,$n]}" 'BEGIN { printf "%.3f", t / 1e6 }')
    echo "mpris $call $n tracks: ${ms[$call,$n]} ms"
  done
done
for fd in "${fifos[@]}"; do echo quit >&"$fd"; exec {fd}>&-; done
for pid in "${player_pids[@]}"; do wait "$pid" || true; done
player_pids=()

missed=0
for limit in Position:1.5 Metadata:3 Next:3; do
  call=${limit%:*} most=${limit#*:}
  [ -n "${ms[$call,10]:-}" ] && [ -n "${ms[$call,100000]:-}" ] || continue
  ratio=$(awk -v a="${ms[$call,100000]}" -v b="${ms[$call,10]}" 'BEGIN { printf "%.2f", a / b }')
  echo "mpris $call 100000 over 10 tracks: ${ratio}x"
  text="mpris $call round trip at 100000 tracks at most ${most}x that at 10"
  if awk -v r="$ratio" -v m="$most" 'BEGIN { exit !(r <= m) }'; then
    echo "target $text: held"
  else
    echo "target $text: MISSED (${ratio}x)"
    missed=1
  fi
done
exit $missed
