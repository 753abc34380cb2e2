#!/usr/bin/env python3
"""A Python host of pbq through ctypes, with nothing but the standard library.

It loads the library, plays the bundled album, saves the resume document as an app
would when it goes to the background, then "relaunches" with a new queue and
restores it. Every text the library hands over is copied into a Python string and
released with pbq_free at once.

    python3 pbq_demo.py [--library PATH/libpbq.so.1] [ALBUM.json]

Without --library it tries $PBQ_LIBRARY, then the system's library search.
Exit status: 0 when every answer was as expected, 1 otherwise, 2 for a library or
album that cannot be loaded.
"""
import argparse
import ctypes
import ctypes.util
import json
import os
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))

# The navigation codes of pbq_next, pbq_on_track_ended and pbq_previous.
PLAY, NONE, RESTART, SLEEP = 0, 1, 2, 3
REPEAT_OFF, REPEAT_ALL, REPEAT_ONE = 0, 1, 2
SLEEP_OFF, SLEEP_TIMER, SLEEP_END_OF_TRACK = 0, 1, 2


def load_library(path):
    """Opens libpbq and declares the C signatures; a wrong signature silently
    truncates 64-bit values or pointers, so every function used is declared."""
    if path is None:
        path = os.environ.get("PBQ_LIBRARY") or ctypes.util.find_library("pbq") or "libpbq.so.1"
    lib = ctypes.CDLL(path)
    q = ctypes.c_void_p  # pbq_queue *, opaque
    i32, i64, u64 = ctypes.c_int32, ctypes.c_int64, ctypes.c_uint64
    text = ctypes.c_char_p  # borrowed text: copied by ctypes, never freed
    owned = ctypes.c_void_p  # owned text: kept as a pointer so that it can be freed
    signatures = {
        "pbq_version": (text, []),
        "pbq_abi_version": (i32, []),
        "pbq_last_error": (text, []),
        "pbq_free": (None, [ctypes.c_void_p]),
        "pbq_create": (q, []),
        "pbq_destroy": (None, [q]),
        "pbq_set_tracks_json": (i32, [q, ctypes.c_char_p, i32, u64]),
        "pbq_next": (i32, [q]),
        "pbq_on_track_ended": (i32, [q]),
        "pbq_previous": (i32, [q, ctypes.c_double]),
        "pbq_jump": (i32, [q, i32]),
        "pbq_set_repeat": (i32, [q, i32]),
        "pbq_play_next_json": (i32, [q, ctypes.c_char_p]),
        "pbq_set_shuffle": (i32, [q, i32, u64]),
        "pbq_set_rate": (ctypes.c_float, [q, ctypes.c_float]),
        "pbq_set_sleep_timer": (i32, [q, i32, i64, i64]),
        "pbq_check_sleep_timer": (i64, [q, i64]),
        "pbq_state_json": (owned, [q]),
        "pbq_export_resume_json": (owned, [q, ctypes.c_double]),
        "pbq_restore_resume_json": (i32, [q, ctypes.c_char_p, ctypes.c_char_p,
                                          ctypes.POINTER(ctypes.c_double)]),
        "pbq_selftest": (i32, []),
    }
    for name, (restype, argtypes) in signatures.items():
        fn = getattr(lib, name)
        fn.restype, fn.argtypes = restype, argtypes
    return lib


class Queue:
    """Owns one pbq handle; use it in a with-block so that it is destroyed."""

    def __init__(self, lib):
        self.lib = lib
        self.handle = lib.pbq_create()
        if not self.handle:
            raise MemoryError(lib.pbq_last_error().decode())

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.lib.pbq_destroy(self.handle)
        self.handle = None

    def _take(self, pointer):
        """Copies a returned document and frees it right away."""
        if not pointer:
            raise MemoryError("the library returned no document")
        try:
            return ctypes.string_at(pointer).decode("utf-8")
        finally:
            self.lib.pbq_free(pointer)

    def _error(self):
        return self.lib.pbq_last_error().decode("utf-8")

    def set_tracks(self, tracks_json, start=0, seed=0):
        if self.lib.pbq_set_tracks_json(self.handle, tracks_json.encode(), start, seed) != 0:
            raise ValueError(self._error())

    def state(self):
        return json.loads(self._take(self.lib.pbq_state_json(self.handle)))

    def export_resume(self, position):
        return self._take(self.lib.pbq_export_resume_json(self.handle, position))

    def restore_resume(self, resume_json, tracks_json):
        """(code, position): 0 resumed at position, 1 nothing resumed."""
        position = ctypes.c_double(0.0)
        code = self.lib.pbq_restore_resume_json(self.handle, resume_json.encode(),
                                                 tracks_json.encode(), ctypes.byref(position))
        if code < 0:
            raise ValueError("resume refused")
        return code, position.value


def mmss(seconds):
    whole = int(seconds)
    return "%d:%02d" % (whole // 60, whole % 60) if whole > 0 else "-:--"


def now_playing(queue):
    track = queue.state()["currentTrack"]
    if track is None:
        return "nothing"
    return "%s - %s (%s)" % (track["title"], track["artist"], mmss(track["duration"]))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--library", help="path of libpbq.so.1")
    parser.add_argument("album", nargs="?", default=os.path.join(HERE, "..", "album.json"))
    args = parser.parse_args()
    try:
        lib = load_library(args.library)
        with open(args.album, encoding="utf-8") as f:
            album = f.read()
    except OSError as e:
        print("pbq_demo: %s" % e, file=sys.stderr)
        return 2

    failures = []

    def check(condition, what):
        if not condition:
            failures.append(what)
            print("  FAILED: " + what)

    print("pbq %s (ABI %d) from Python" % (lib.pbq_version().decode(), lib.pbq_abi_version()))
    check(lib.pbq_abi_version() == 1, "ABI version 1")
    check(lib.pbq_selftest() == 0, "self-test passes")

    saved_dir = tempfile.mkdtemp(prefix="pbq_demo_")
    saved_path = os.path.join(saved_dir, "resume.json")
    with Queue(lib) as queue:
        queue.set_tracks(album, start=1)
        print("opened the album at track 2: playing", now_playing(queue))
        check(queue.state()["currentIndex"] == 1, "starts at index 1")

        code = lib.pbq_on_track_ended(queue.handle)
        print("track ended ->", code, "playing", now_playing(queue))
        check(code == PLAY, "end of track moves on")

        guest = {"streamURL": "https://media.example/guests/rain-on-tin.m4a",
                 "title": "Rain on Tin", "artist": "Ilse Varga", "duration": 154}
        check(lib.pbq_play_next_json(queue.handle, json.dumps(guest).encode()) == 0, "play next")
        check(queue.state()["queue"][3]["title"] == "Rain on Tin", "guest plays next")

        check(lib.pbq_set_repeat(queue.handle, REPEAT_ALL) == REPEAT_ALL, "repeat all")
        rate = lib.pbq_set_rate(queue.handle, 1.5)
        check(rate == 1.5, "rate 1.5")

        # Errors: the result says so, pbq_last_error says why.
        try:
            queue.set_tracks("[1,")
            check(False, "bad JSON is refused")
        except ValueError as e:
            print("loading bad JSON is refused:", e)
            check(str(e) == "invalid tracks json", "error text of bad JSON")
        check(lib.pbq_jump(queue.handle, 99) == -1 and queue._error() == "jump index out of range",
              "jump out of range")

        # Sleep timer on the host's clock (seconds here).
        check(lib.pbq_set_sleep_timer(queue.handle, SLEEP_TIMER, 1800, 0) == 0, "sleep timer set")
        check(lib.pbq_check_sleep_timer(queue.handle, 600) == 1200, "20 minutes left")
        check(lib.pbq_check_sleep_timer(queue.handle, 1800) == 0, "timer fires")

        # Going to the background: save where we are.
        resume = queue.export_resume(83.5)
        with open(saved_path, "w", encoding="utf-8") as f:
            f.write(resume)
        print("saved resume document:", resume)

    # Next launch: a new queue, the stored document and the same album.
    with open(saved_path, encoding="utf-8") as f:
        stored = f.read()
    with Queue(lib) as queue:
        code, position = queue.restore_resume(stored, album)
        state = queue.state()
        print("relaunched: restore ->", code, "playing", now_playing(queue), "from", position, "s")
        check(code == 0 and position == 83.5, "resumed at 83.5 s")
        check(state["currentTrack"]["title"] == "Lanterns", "resumed track")
        check(state["repeatMode"] == REPEAT_ALL and state["playbackRate"] == 1.5, "settings restored")
        check(queue.restore_resume('{"lastTrackURL":"gone.m4a"}', album) == (1, 0.0), "nothing to resume")
    os.remove(saved_path)
    os.rmdir(saved_dir)

    if failures:
        print("demo FAILED: %d check(s)" % len(failures))
        return 1
    print("demo ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
