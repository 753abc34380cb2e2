#!/usr/bin/env bash
# pbq-play driven over MPRIS by a real client, playerctl, on a private session bus:
#   tests/player/mpris.sh PBQ_PLAY PBQ_MAKE_ALBUM   (it starts its own bus)
# The player reads its standard input from a pipe that the test holds open, so
# that the `state` command shows what the queue became after each bus call.
set -euo pipefail
play=${1:?usage: mpris.sh PBQ_PLAY PBQ_MAKE_ALBUM}
make_album=${2:?usage: mpris.sh PBQ_PLAY PBQ_MAKE_ALBUM}

. "$(dirname "$0")/bus.sh"
needs_tools dbus-run-session dbus-send dbus-monitor playerctl
# Everything below on a private session bus of its own.
on_private_bus "$@"

# Waits until the player's output holds PATTERN (a fixed text) after line FROM.
expect_output() {
  local text=$1 from=${2:-0}
  for _ in $(seq 100); do
    tail -n +"$((from + 1))" "$work/out" | grep -qF -- "$text" && return 0
    sleep 0.1
  done
  fail "the player never said: $text"
}

lines() { wc -l <"$work/out"; }

# Waits until the signals the player sent hold TEXT (grep -E, on one line or on a
# dbus-monitor line and the next).
expect_signal() {
  for _ in $(seq 100); do
    tr '\n' ' ' <"$work/signals" | grep -qE -- "$1" && return 0
    sleep 0.1
  done
  fail "no signal with $1: $(cat "$work/signals")"
}

# The state document after the calls so far.
state() {
  local from
  from=$(lines)
  echo state >&3
  expect_output '"currentIndex"' "$from"
  tail -n +"$((from + 1))" "$work/out" | grep -F '"currentIndex"' | head -1
}

# Three tracks long enough that nothing ends on its own while the test runs.
"$make_album" "$work/album" 3 30 >/dev/null
mkfifo "$work/input"
XDG_STATE_HOME="$work/state" "$play" --sink fake --fresh "$work/album/album.json" <"$work/input" >"$work/out" 2>&1 &
player_pid=$!
exec 3>"$work/input"
expect_output "on the session bus as org.mpris.MediaPlayer2.pbq"

dbus-monitor --session "type='signal',path='/org/mpris/MediaPlayer2'" >"$work/signals" 2>&1 &
monitor_pid=$!
sleep 0.5  # until the monitor is on the bus

pc() { playerctl --player=pbq "$@"; }
check "playerctl lists the player" "pbq" "$(playerctl --list-all | grep -x pbq)"
check "status" "Playing" "$(pc status)"
check "title" "Tone 1 (440 Hz)" "$(pc metadata title)"
check "artist" "pbq test signal" "$(pc metadata artist)"
# Track ids: /org/pbq/Track/G/I, entry I of the track list's window of generation G.
window=$(pc metadata mpris:trackid | grep -o '/org/pbq/Track/[0-9]*/')
check "track id" "'${window}0'" "$(pc metadata mpris:trackid)"

pc next
check "next: title" "Tone 2 (494 Hz)" "$(pc metadata title)"
check "next: the track id of the entry, in the same window" "'${window}1'" "$(pc metadata mpris:trackid)"
expect_signal '"xesam:title" +variant +string "Tone 2 \(494 Hz\)"'
echo "ok: PropertiesChanged with the new track's metadata"
expect_output "mpris> next"
pc previous
check "previous early in a track: the one before" "Tone 1 (440 Hz)" "$(pc metadata title)"

# At the last entry the library has no next: the bus gets the same answer.
from=$(lines)
echo "jump 2" >&3
expect_output "play #2" "$from"
! pc next 2>/dev/null || fail "playerctl saw CanGoNext true at the last entry"
echo "ok: CanGoNext is false at the last entry"
call() {
  dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.pbq /org/mpris/MediaPlayer2 "$@" >/dev/null
}
call org.mpris.MediaPlayer2.Player.Next
check "Next at the last entry keeps it" "Tone 3 (554 Hz)" "$(pc metadata title)"
expect_output "no next entry" "$from"
echo "jump 0" >&3

pc pause
check "pause" "Paused" "$(pc status)"
expect_signal '"PlaybackStatus" +variant +string "Paused"'
echo "ok: PropertiesChanged with the playback status"
pc play
check "play" "Playing" "$(pc status)"
pc play-pause
check "play-pause" "Paused" "$(pc status)"
pc play-pause
check "play-pause again" "Playing" "$(pc status)"

pc shuffle On
check "shuffle on" "On" "$(pc shuffle)"
check "the queue is shuffled" 1 "$(state | grep -c '"isShuffled":true')"
pc shuffle Off
check "shuffle off" "Off" "$(pc shuffle)"
check "the queue is in order again" 1 "$(state | grep -c '"isShuffled":false')"
for loop in Track:2 Playlist:1 None:0; do
  pc loop "${loop%:*}"
  check "loop ${loop%:*}" "${loop%:*}" "$(pc loop)"
  check "repeat mode of loop ${loop%:*}" 1 "$(state | grep -c "\"repeatMode\":${loop#*:},")"
done

set_rate() {
  dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.pbq /org/mpris/MediaPlayer2 \
    org.freedesktop.DBus.Properties.Set string:org.mpris.MediaPlayer2.Player string:Rate variant:double:"$1" >/dev/null
}
get_rate() {
  dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.pbq /org/mpris/MediaPlayer2 \
    org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2.Player string:Rate | awk '/double/ {print $3}'
}
set_rate 1.5
check "rate" 1.5 "$(get_rate)"
check "the queue's rate" 1 "$(state | grep -c '"playbackRate":1.5,')"
set_rate 3
check "a rate above the range is clamped as the library clamps" 2 "$(get_rate)"
set_rate 1

pc position 10
expect_output "seek to 0:10"
expect_signal 'member=Seeked +int64 10000000'
echo "ok: Seeked after a seek"
position=$(pc position)
awk -v p="$position" 'BEGIN { exit !(p >= 10 && p < 25) }' || fail "position after seeking to 10: $position"
echo "ok: seek to a position"
from=$(lines)
pc position 5+
expect_output "seek to 0:1" "$from"
position=$(pc position)
awk -v p="$position" 'BEGIN { exit !(p >= 15 && p < 30) }' || fail "position after seeking 5 s on: $position"
echo "ok: seek by an offset"

# The track list: the play queue, and GoTo an entry of it; OpenUri plays an address now.
check "tracks" 3 "$(dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.pbq /org/mpris/MediaPlayer2 \
  org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2.TrackList string:Tracks | grep -c 'object path')"
window=$(pc metadata mpris:trackid | grep -o '/org/pbq/Track/[0-9]*/')
call org.mpris.MediaPlayer2.TrackList.GoTo objpath:"${window}1"
check "GoTo" "Tone 2 (494 Hz)" "$(pc metadata title)"
call org.mpris.MediaPlayer2.Player.OpenUri string:"file://$work/album/03.wav"
check "OpenUri plays the address" "file://$work/album/03.wav" "$(pc metadata xesam:url)"
check "OpenUri: after the entry that played" 2 "$(pc metadata mpris:trackid | grep -o '[0-9]*.$' | tr -d "'")"

pc volume 0.25
check "volume" "0.250000" "$(pc volume)"
# Not a number: the volume stays, as any comparison with it fails.
dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.pbq /org/mpris/MediaPlayer2 \
  org.freedesktop.DBus.Properties.Set string:org.mpris.MediaPlayer2.Player string:Volume variant:double:nan >/dev/null
check "a volume that is not a number is passed by" "0.250000" "$(pc volume)"
pc stop
check "stop" "Stopped" "$(pc status)"

# A second player takes a name of its own.
XDG_STATE_HOME="$work/state2" "$play" --sink fake --fresh "$work/album/album.json" </dev/null >"$work/out2" 2>&1 &
second=$!
for _ in $(seq 100); do grep -q "on the session bus as" "$work/out2" && break; sleep 0.1; done
grep -q "on the session bus as org.mpris.MediaPlayer2.pbq.instance$second" "$work/out2" ||
  fail "the second player's name: $(cat "$work/out2")"
echo "ok: a second player takes an instance name"
# Its input has ended: paused from the bus, it waits for the bus instead of ending.
playerctl --player="pbq.instance$second" pause
sleep 0.5  # the player looks for an ended input every 100 ms
kill -0 "$second" 2>/dev/null || fail "paused from the bus with its input ended, the player left"
echo "ok: paused from the bus, it waits for the bus"
dbus-send --session --print-reply --dest="org.mpris.MediaPlayer2.pbq.instance$second" /org/mpris/MediaPlayer2 \
  org.mpris.MediaPlayer2.Quit >/dev/null
status=0
wait "$second" || status=$?
check "the second player quits over the bus" 0 "$status"

# Quit over the bus ends the player, with the input still open.
call org.mpris.MediaPlayer2.Quit
status=0
wait "$player_pid" || status=$?
player_pid=
check "quit over the bus: exit status" 0 "$status"
