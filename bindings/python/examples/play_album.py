#!/usr/bin/env python3
"""Plays examples/album.json as the pbq command-line host's session does, through
the pbq package: buttons, the end of tracks, up next, repeat, shuffle, rate, the
sleep timer, errors, and a relaunch from the resume document.

    python3 bindings/python/examples/play_album.py [ALBUM.json]

Run from a checkout it uses the package beside it and, unless PBQ_LIBRARY is set,
the library of `make build` (build/release/libpbq.so.1).
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.normpath(os.path.join(HERE, "..", "..", ".."))
sys.path.insert(0, os.path.dirname(HERE))
built = os.path.join(REPO, "build", "release", "libpbq.so.1")
if "PBQ_LIBRARY" not in os.environ and os.path.exists(built):
    os.environ["PBQ_LIBRARY"] = built

import pbq  # noqa: E402
from pbq import Action, RepeatMode, SleepMode  # noqa: E402

MINUTE = 60_000  # the simulated clock counts milliseconds


def now_playing(q: pbq.Queue) -> str:
    view = q.view()  # the light read: everything but the queue, whatever its length
    t = view.current_track
    return f"#{view.current_index} {t['title']} - {t['artist']}" if t else "nothing"


def act(q: pbq.Queue, what: str, action: Action) -> None:
    """Says what a player does with a navigation answer."""
    verbs = {Action.PLAY: "play", Action.NONE: "stop at", Action.RESTART: "replay",
             Action.SLEEP: "sleep after"}
    print(f"{what:<14} -> {verbs[action]} {now_playing(q)}")


def main() -> int:
    album_path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(REPO, "examples", "album.json")
    with open(album_path, encoding="utf-8") as f:
        album = f.read()

    with pbq.Queue() as q:
        q.set_tracks(album, start_index=0)
        print(f"loaded {q.view().queue_count} tracks, playing {now_playing(q)}")
        act(q, "next", q.next())
        act(q, "track ended", q.track_ended())
        act(q, "previous 1.5s", q.previous(1.5))
        act(q, "previous 42s", q.previous(42))

        q.play_next({"streamURL": "https://media.example/guests/rain-on-tin.m4a",
                     "title": "Rain on Tin", "artist": "Ilse Varga", "duration": 154})
        q.add_to_queue({"streamURL": "https://media.example/guests/night-bus.m4a",
                        "title": "Night Bus", "artist": "Ilse Varga", "duration": 208})
        q.move_up_next(0, 2)
        q.remove_up_next(1)
        view = q.view()
        # The entries on screen only: here the first ten of up next.
        print("up next:", ", ".join(t["title"] for t in view.entries(view.current_index + 1, 10)))

        q.jump(view.queue_count - 1)
        act(q, "track ended", q.track_ended())
        q.set_repeat(RepeatMode.ALL)
        act(q, "next (all)", q.next())
        q.set_repeat(RepeatMode.ONE)
        act(q, "ended (one)", q.track_ended())

        q.set_shuffle(True, seed=2024)
        print("shuffled:", " ".join(t["title"].split()[0] for t in q.state()["queue"]))  # all of it
        q.set_shuffle(False)
        print(f"rate {q.set_rate(1.25):.2f}x")

        clock = 0
        q.set_sleep_timer(SleepMode.TIMER, 30 * MINUTE, clock)
        for step in (20, 10):
            clock += step * MINUTE
            left = q.check_sleep_timer(clock)
            print(f"after {step} min: " + (f"{left // MINUTE} min left" if left else "sleep now"))
        q.set_sleep_timer(SleepMode.END_OF_TRACK)
        act(q, "track ended", q.track_ended())

        for attempt in (lambda: q.jump(99), lambda: q.add_to_queue({"title": "no address"}),
                        lambda: q.add_to_queue("[1,")):
            try:
                attempt()
            except pbq.PbqError as e:
                print("error:", e)

        q.jump(3)
        resume = q.export_resume(83.5)
        print("saved:", resume)

    with pbq.Queue() as relaunched:
        position = relaunched.restore_resume(resume, album)
        if position is None:
            relaunched.set_tracks(album)
            print("nothing to resume")
        else:
            print(f"resumed {now_playing(relaunched)} at {position} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
