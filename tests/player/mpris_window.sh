#!/usr/bin/env bash
# The MPRIS track list of a long queue: a window of 1,000 entries around the current
# one, with ids that stay while the window does not change, TrackListReplaced only
# when it does, and edits through ids of the window. On a private session bus:
#   tests/player/mpris_window.sh PBQ_PLAY PBQ_MAKE_ALBUM   (it starts its own bus)
set -euo pipefail
play=${1:?usage: mpris_window.sh PBQ_PLAY PBQ_MAKE_ALBUM}
make_album=${2:?usage: mpris_window.sh PBQ_PLAY PBQ_MAKE_ALBUM}

. "$(dirname "$0")/bus.sh"
needs_tools dbus-run-session dbus-send dbus-monitor
on_private_bus "$@"
# A queue of 2,500: only the end of the player's output on a failure.
player_output_lines=40

# 2,500 entries: the three tones over and over, each entry's title its number.
"$make_album" "$work/album" 3 30 >/dev/null
awk 'BEGIN { printf "["; for (i = 0; i < 2500; i++) printf "%s{\"streamURL\":\"0%d.wav\",\"title\":\"entry %d\"}", (i ? "," : ""), i % 3 + 1, i; printf "]" }' \
  >"$work/album/long.json"
mkfifo "$work/input"
XDG_STATE_HOME="$work/state" "$play" --sink fake --fresh "$work/album/long.json" <"$work/input" >"$work/out" 2>&1 &
player_pid=$!
exec 3>"$work/input"
for _ in $(seq 100); do grep -q "on the session bus as" "$work/out" && break; sleep 0.1; done
grep -q "on the session bus as org.mpris.MediaPlayer2.pbq$" "$work/out" || fail "the player is not on the bus"

dbus-monitor --session "type='signal',path='/org/mpris/MediaPlayer2',member='TrackListReplaced'" >"$work/signals" 2>&1 &
monitor_pid=$!
sleep 0.5

send() { dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.pbq /org/mpris/MediaPlayer2 "$@"; }
get() { send org.freedesktop.DBus.Properties.Get string:"org.mpris.MediaPlayer2.$1" string:"$2"; }
tracks() { get TrackList Tracks | grep -o '"/org/pbq/Track/[^"]*"' | tr -d '"'; }
current_id() { get Player Metadata | grep -A1 '"mpris:trackid"' | grep -o '/org/pbq/Track/[0-9/]*'; }
title_of() {  # the title GetTracksMetadata gives for an id, empty for none
  send org.mpris.MediaPlayer2.TrackList.GetTracksMetadata array:objpath:"$1" |
    grep -A1 '"xesam:title"' | grep -o 'entry [0-9]*' || true
}
# The typed state's current index, once the player has done all it was asked.
current_index() {
  local from
  from=$(wc -l <"$work/out")
  echo state >&3
  for _ in $(seq 100); do
    tail -n +"$((from + 1))" "$work/out" | grep -q '"currentIndex"' && break
    sleep 0.1
  done
  tail -n +"$((from + 1))" "$work/out" | grep -o '"currentIndex":-\?[0-9]*' | head -1 | cut -d: -f2
}
replaced() {  # how many TrackListReplaced were sent, once the player is idle
  get Player Position >/dev/null
  sleep 0.3
  grep -c 'member=TrackListReplaced' "$work/signals" || true
}
typed() { echo "$1" >&3; get Player Position >/dev/null; }

# At the start: the first 1,000 entries, ids of one generation.
tracks >"$work/ids"
check "the window holds 1,000 entries" 1000 "$(wc -l <"$work/ids")"
first=$(head -1 "$work/ids")
gen=$(echo "$first" | cut -d/ -f5)
check "the window starts at entry 0" "/org/pbq/Track/$gen/0" "$first"
check "and ends at entry 999" "/org/pbq/Track/$gen/999" "$(tail -1 "$work/ids")"
check "the current track's id" "/org/pbq/Track/$gen/0" "$(current_id)"
check "metadata of an entry by id" "entry 998" "$(title_of "/org/pbq/Track/$gen/998")"
base=$(replaced)

# Moving within the window: the same ids, no TrackListReplaced.
send org.mpris.MediaPlayer2.Player.Next >/dev/null
send org.mpris.MediaPlayer2.Player.Next >/dev/null
typed "jump 899"
check "next and jump within the window" 899 "$(current_index)"
check "the current id follows" "/org/pbq/Track/$gen/899" "$(current_id)"
tracks >"$work/ids2"
cmp -s "$work/ids" "$work/ids2" || fail "the ids changed while the queue did not"
echo "ok: the ids stay while the window does not change"
check "no TrackListReplaced while the window stays" "$base" "$(replaced)"

# Near its edge the window moves: centred on the current entry, under new ids.
typed "jump 900"
check "TrackListReplaced once the window moves" "$((base + 1))" "$(replaced)"
tracks >"$work/ids"
gen2=$(head -1 "$work/ids" | cut -d/ -f5)
[ "$gen2" != "$gen" ] || fail "the moved window kept the ids of the old one"
check "the moved window starts 500 before the current entry" "/org/pbq/Track/$gen2/400" "$(head -1 "$work/ids")"
check "and holds 1,000" 1000 "$(wc -l <"$work/ids")"
check "the current id in the moved window" "/org/pbq/Track/$gen2/900" "$(current_id)"
grep -A3 'member=TrackListReplaced' "$work/signals" | grep -q "/org/pbq/Track/$gen2/400" ||
  fail "TrackListReplaced did not carry the new ids: $(tail -5 "$work/signals")"
echo "ok: TrackListReplaced carries the new window"

# An old id is refused; one of the window goes where it says.
send org.mpris.MediaPlayer2.TrackList.GoTo objpath:"/org/pbq/Track/$gen/5" >/dev/null
check "GoTo an id of an old window does nothing" 900 "$(current_index)"
check "metadata of an old id: none" "" "$(title_of "/org/pbq/Track/$gen/5")"
send org.mpris.MediaPlayer2.TrackList.GoTo objpath:"/org/pbq/Track/$gen2/600" >/dev/null
check "GoTo an id of the window" 600 "$(current_index)"
check "GoTo within the window sends nothing" "$((base + 1))" "$(replaced)"

# An edit beyond the window leaves it as it is; one inside replaces it.
typed "remove 1500"
check "an edit outside the window sends nothing" "$((base + 1))" "$(replaced)"
check "and keeps the ids" "/org/pbq/Track/$gen2/600" "$(current_id)"
send org.mpris.MediaPlayer2.TrackList.RemoveTrack objpath:"/org/pbq/Track/$gen2/700" >/dev/null
check "an edit inside the window replaces it" "$((base + 2))" "$(replaced)"
gen3=$(current_id | cut -d/ -f5)
check "the entry after the removed one takes its place" "entry 701" "$(title_of "/org/pbq/Track/$gen3/700")"

# AddTrack puts the track right after the entry named; a failed add stops there.
send org.mpris.MediaPlayer2.TrackList.AddTrack string:"file://$work/album/02.wav" \
  objpath:"/org/pbq/Track/$gen3/650" boolean:false >/dev/null
gen4=$(current_id | cut -d/ -f5)
send org.mpris.MediaPlayer2.TrackList.GetTracksMetadata array:objpath:"/org/pbq/Track/$gen4/651" |
  grep -q "file://$work/album/02.wav" || fail "AddTrack after entry 650: not at 651"
echo "ok: AddTrack after an entry of up next"
check "the entry that was after it follows" "entry 651" "$(title_of "/org/pbq/Track/$gen4/652")"
send org.mpris.MediaPlayer2.TrackList.AddTrack string:"file://$work/album/03.wav" \
  objpath:"/org/pbq/Track/$gen4/610" boolean:true >/dev/null
check "AddTrack with SetAsCurrent plays it" 611 "$(current_index)"
send org.mpris.MediaPlayer2.TrackList.AddTrack string:"file://$work/album/01.wav" \
  objpath:"/org/pbq/Track/$gen/620" boolean:true >/dev/null
check "AddTrack after an old id adds nothing" 611 "$(current_index)"
check "the queue's length after the adds" 2500 "$(echo state >&3; sleep 0.5; grep -o '"queueCount":[0-9]*' "$work/out" | tail -1 | cut -d: -f2)"

# At the end of the queue the window holds its last 1,000 entries.
typed "jump 2499"
tracks >"$work/ids"
gen6=$(head -1 "$work/ids" | cut -d/ -f5)
check "the window at the end of the queue" "/org/pbq/Track/$gen6/1500" "$(head -1 "$work/ids")"
check "ends with the last entry" "/org/pbq/Track/$gen6/2499" "$(tail -1 "$work/ids")"

# A failed add (an empty address) stops the call: nothing is moved or played, both
# when the track would follow the current entry and when it would go last.
typed "jump 2400"
send org.mpris.MediaPlayer2.TrackList.AddTrack string:"" objpath:"/org/pbq/Track/$gen6/2400" boolean:true >/dev/null
check "a failed add after the current entry does not go on to play" 2400 "$(current_index)"
send org.mpris.MediaPlayer2.TrackList.AddTrack string:"" objpath:"/org/pbq/Track/$gen6/2499" boolean:true >/dev/null
check "a failed add at the end does not go on to play" 2400 "$(current_index)"
check "the window is as it was" "/org/pbq/Track/$gen6/2400" "$(current_id)"

echo quit >&3
status=0
wait "$player_pid" || status=$?
player_pid=
check "the player quits" 0 "$status"
