#!/usr/bin/env bash
# MPRIS round trips with dbus-send at each queue length, on a private session bus:
# reading Position and Metadata, and calling Next (under repeat all, so that every
# call moves). pbq-play runs on the fake sink with a JSON list of the test tones.
#   bench/hosts/mpris.sh        (from the repository root)
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
player_pid=
cleanup() {
  [ -n "$player_pid" ] && kill "$player_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
"$make_album" "$work/album" 8 30 >/dev/null

now_ns() { date +%s%N; }
dest=org.mpris.MediaPlayer2.pbq
get() {
  dbus-send --session --print-reply --dest=$dest /org/mpris/MediaPlayer2 \
    org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2.Player string:"$1" >/dev/null
}
next() { dbus-send --session --print-reply --dest=$dest /org/mpris/MediaPlayer2 org.mpris.MediaPlayer2.Player.Next >/dev/null; }

# Milliseconds per call of COMMAND... over ROUNDS calls, the best of three batches
# (the machine is noisy); a last Position read waits for the work the calls left
# to the player (a method is answered before it runs).
per_call() {
  local rounds=$1 start end best=
  shift
  for _ in 1 2 3; do
    start=$(now_ns)
    for ((i = 0; i < rounds; i++)); do "$@"; done
    get Position
    end=$(now_ns)
    [ -z "$best" ] || [ $((end - start)) -lt "$best" ] && best=$((end - start))
  done
  awk -v t="$best" -v r="$rounds" 'BEGIN { printf "%.3f", t / 1e6 / (r + 1) }'
}

declare -A ms
for n in $sizes; do
  list=$work/album/list-$n.json
  python3 "$here/tone_list.py" list "$work/album" "$n" "$list"
  rounds=${BENCH_ROUND_TRIPS:-$((n >= 1000000 ? 5 : 20))}
  rm -f "$work/input" && mkfifo "$work/input"
  XDG_STATE_HOME="$work/state" "$play" --sink fake --fresh "$list" <"$work/input" >"$work/out" 2>&1 &
  player_pid=$!
  exec 3>"$work/input"
  echo "repeat all" >&3
  until grep -q "on the session bus as $dest\$" "$work/out"; do
    kill -0 "$player_pid" 2>/dev/null || { cat "$work/out" >&2; exit 2; }
    sleep 0.1
  done
  get Position  # the main loop runs
  for call in Position Metadata Next; do
    if [ "$call" = Next ]; then ms[$call,$n]=$(per_call "$rounds" next)
    else ms[$call,$n]=$(per_call "$rounds" get "$call"); fi
    echo "mpris $call $n tracks: ${ms[$call,$n]} ms"
  done
  echo quit >&3
  exec 3>&-
  wait "$player_pid" || true
  player_pid=
done

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
