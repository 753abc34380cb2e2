"""The playback-queue state of a music player, over libpbq.

    with pbq.Queue() as q:
        q.set_tracks(album, start_index=2)
        if q.track_ended() is pbq.Action.PLAY:
            play(q.view().current_track)

A `Queue` owns one library handle and frees it on `close()` (or at the end of a
`with` block). Calls whose C function writes an error text raise `PbqError` with that
text; calls that the library refuses without a text return False. Documents come back
as Python strings (`state_json`, `export_resume`), parsed (`state`), or read lightly
(`view`: every member but the queue, and the queue's entries on demand); every C text
is released with pbq_free inside. A queue is used by one thread at a time.
"""
from __future__ import annotations

import ctypes
import enum
import json
import re
from typing import Any, Mapping, Optional, Sequence, Union

from ._native import LibraryNotFound, library

__all__ = ["Queue", "View", "PbqError", "LibraryNotFound", "Action", "RepeatMode", "SleepMode",
           "Added", "version", "abi_version", "selftest"]

# The values of pbq.h's named constants.


class Action(enum.IntEnum):
    """What the host does after next(), previous() and track_ended()."""
    PLAY = 0      #: moved: play the new current entry
    NONE = 1      #: did not move; after the end of a track: stop
    RESTART = 2   #: play the current entry again from its start
    SLEEP = 3     #: the end-of-track sleep was due: stop


class RepeatMode(enum.IntEnum):
    OFF = 0
    ALL = 1
    ONE = 2


class SleepMode(enum.IntEnum):
    OFF = 0
    TIMER = 1          #: runs out at now + duration on the host's clock
    END_OF_TRACK = 2   #: stop when the current track ends


class Added(enum.IntEnum):
    """What play_next() and add_to_queue() did."""
    QUEUED = 0    #: put into up next; the current entry plays on
    STARTED = 1   #: the queue had no current entry: current is now 0


# Answers by value: indexing a tuple is several times cheaper than Action(value).
_ACTIONS = tuple(sorted(Action, key=int))
_REPEAT_MODES = tuple(sorted(RepeatMode, key=int))


class PbqError(Exception):
    """A call refused with the library's error text (e.g. "invalid tracks json")."""


Tracks = Union[str, bytes, Sequence[Mapping[str, Any]]]
Track = Union[str, bytes, Mapping[str, Any]]

_I32_MIN, _I32_MAX = -(1 << 31), (1 << 31) - 1


def _i32(value: int) -> int:
    # Clamped, not wrapped: an index beyond int32 stays out of range for the library
    # (ctypes alone would turn 2**32 into 0).
    return max(_I32_MIN, min(_I32_MAX, int(value)))


def _i64(value: int, name: str) -> int:
    value = int(value)
    if not -(1 << 63) <= value < (1 << 63):
        raise OverflowError(f"{name} does not fit in int64")
    return value


def _u64(value: int) -> int:
    value = int(value)
    if not 0 <= value < (1 << 64):
        raise OverflowError("seed must be in [0, 2**64)")
    return value


def _json_bytes(value: Union[Tracks, Track]) -> bytes:
    if isinstance(value, bytes):
        return value
    if isinstance(value, str):
        return value.encode("utf-8")
    return json.dumps(value, ensure_ascii=False).encode("utf-8")


def _last_error() -> str:
    return library().pbq_last_error().decode("utf-8", "replace")


def _take_document(ptr: Optional[int]) -> str:
    """Copies a returned document into a str and frees it, exactly once."""
    if not ptr:
        raise PbqError("out of memory")
    lib = library()
    try:
        return ctypes.string_at(ptr).decode("utf-8")
    finally:
        lib.pbq_free(ptr)


def _take_bytes(ptr: Optional[int]) -> bytes:
    """As _take_document, left as UTF-8 bytes."""
    if not ptr:
        raise PbqError("out of memory")
    try:
        return ctypes.string_at(ptr)
    finally:
        library().pbq_free(ptr)


def version() -> str:
    """The loaded library's version, e.g. "1.0.0"."""
    return library().pbq_version().decode("ascii")


def abi_version() -> int:
    return library().pbq_abi_version()


def selftest() -> int:
    """Runs the library's self-test: 0 when it passed, else the first failing step."""
    return library().pbq_selftest()


_DECODER = json.JSONDecoder()
# An entry of the queue starts wherever `{"` is followed by a key's first character:
# inside a string every quotation mark is escaped, so a `{"` there can only end the
# string, and then `,`, `:`, `}` or `]` follows.
_ENTRY_START = re.compile(rb'\{"[^,:}\]]')
# The members of the state document before "queue", as View names them.
_MEMBERS = {"currentIndex": "current_index", "queueCount": "queue_count",
            "upNextCount": "up_next_count", "repeatMode": "repeat_mode",
            "isShuffled": "is_shuffled", "playbackRate": "playback_rate",
            "sleepMode": "sleep_mode", "hasNext": "has_next", "hasPrevious": "has_previous",
            "currentTrack": "current_track"}


def _read_prefix(doc: bytes) -> tuple[dict[str, Any], int]:
    """The members before "queue", and where the queue's "[" is in `doc`. Only the
    prefix is decoded; a window of it that ends inside a member is read again, longer."""
    window = 4096
    while True:
        text = doc[:window].decode("utf-8", "ignore")
        members: dict[str, Any] = {}
        at = 1
        try:
            while True:
                key, at = json.decoder.scanstring(text, at + 1)
                at += 1  # the ':'
                if key == "queue":
                    return members, len(text[:at].encode("utf-8"))
                members[key], at = _DECODER.raw_decode(text, at)
                at += 1  # the ',' (or the final '}')
        except (ValueError, IndexError):
            if window >= len(doc):
                raise PbqError("not a state document") from None
            window *= 4


class View:
    """The light read of the state document (Queue.view()): every member but "queue",
    read at once, and the queue's entries on demand with entry() and entries(), each as
    state()["queue"] holds it. The document is kept as bytes and no entry is parsed until
    asked for. A view reads the state of the moment it was taken; its queue's next
    view() (or close()) retires it, and reading entries from it then raises PbqError.

    current_index, queue_count, up_next_count, repeat_mode, is_shuffled, playback_rate,
    sleep_mode, has_next, has_previous and current_track (a dict, or None) are the
    document's members of those names; members() gives them under the document's keys.
    """

    __slots__ = ("_doc", "_members", "_starts", "_search", "_retired") + tuple(_MEMBERS.values())

    def __init__(self, doc: bytes) -> None:
        members, at = _read_prefix(doc)
        self._doc = doc
        self._members = members
        self._starts: list[int] = []
        self._search = _ENTRY_START.finditer(doc, at)
        self._retired = False
        for key, name in _MEMBERS.items():
            setattr(self, name, members.get(key))
        self.repeat_mode = RepeatMode(self.repeat_mode)
        self.sleep_mode = SleepMode(self.sleep_mode)

    def members(self) -> dict[str, Any]:
        """The members but "queue" under the document's keys: state() less "queue"."""
        return dict(self._members)

    def entry(self, index: int) -> Optional[dict[str, Any]]:
        """state()["queue"][index], or None when there is no entry `index` (negative
        indices included: they do not count from the end)."""
        self._check()
        if not isinstance(index, int) or not 0 <= index < self.queue_count:
            return None
        found = self._read(index, 1)
        return found[0] if found else None

    def entries(self, start: int, count: int) -> list[dict[str, Any]]:
        """state()["queue"][start:start + count]; ValueError for a negative start or
        count."""
        self._check()
        if start < 0 or count < 0:
            raise ValueError("start and count must not be negative")
        end = min(start + count, self.queue_count)
        return self._read(start, end - start) if start < end else []

    def _check(self) -> None:
        if self._retired:
            raise PbqError("this view is stale: the queue has given a newer one or was closed")

    def _retire(self) -> None:
        self._retired = True
        self._doc = b""
        self._search = iter(())

    def _read(self, start: int, count: int) -> list[dict[str, Any]]:
        last = start + count - 1
        starts = self._starts
        # The starts of the entries up to the one after the last, found as far as needed.
        if len(starts) <= last + 1:
            for match in self._search:
                starts.append(match.start())
                if len(starts) > last + 1:
                    break
        if last >= len(starts):
            return []
        end = starts[last + 1] - 1 if last + 1 < len(starts) else len(self._doc) - 2
        return json.loads(b"[" + self._doc[starts[start]:end] + b"]")

    def __repr__(self) -> str:
        return f"View({self._members!r})"


class Queue:
    """One player's queue: the loaded tracks, the play order, the current entry, up
    next, repeat, shuffle, rate and the sleep timer."""

    __slots__ = ("_q", "_lib", "_view")

    def __init__(self) -> None:
        self._lib = library()
        self._view: Optional[View] = None
        self._q: Optional[int] = self._lib.pbq_create()
        if not self._q:
            raise PbqError("out of memory")

    # ---- Life ---------------------------------------------------------------------

    def close(self) -> None:
        """Frees the handle. Later calls raise PbqError("queue is closed"); closing
        again does nothing."""
        self._retire_view()
        q, self._q = self._q, None
        if q:
            self._lib.pbq_destroy(q)

    @property
    def closed(self) -> bool:
        return self._q is None

    def __enter__(self) -> "Queue":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def __del__(self) -> None:
        # A queue dropped without close() still frees its handle.
        if getattr(self, "_q", None):
            self.close()

    def _h(self) -> int:
        if self._q is None:
            raise PbqError("queue is closed")
        return self._q

    # ---- Loading ------------------------------------------------------------------

    def set_tracks(self, tracks: Tracks, start_index: int = 0, seed: int = 0) -> None:
        """Replaces everything with `tracks` (JSON text, or a list of track dicts
        with at least "streamURL"), starting at `start_index` (clamped). With
        shuffle on, the chosen track comes first and `seed` fixes the order of the
        rest. Raises PbqError ("invalid tracks json", "tracks json must be array")."""
        if self._lib.pbq_set_tracks_json(self._h(), _json_bytes(tracks), _i32(start_index),
                                         _u64(seed)) != 0:
            raise PbqError(_last_error())

    # ---- Navigation and repeat ----------------------------------------------------

    def next(self) -> Action:
        """The next button: PLAY (moved, wrapping under repeat all) or NONE."""
        return _ACTIONS[self._lib.pbq_next(self._h())]

    def previous(self, position: float = 0.0) -> Action:
        """The previous button with the seconds played: RESTART above 3 s or at the
        first entry, PLAY when it moved back, NONE with no current entry."""
        return _ACTIONS[self._lib.pbq_previous(self._h(), float(position))]

    def track_ended(self) -> Action:
        """The audio finished the current entry: PLAY, NONE (stop), RESTART (repeat
        one) or SLEEP (the end-of-track sleep was due)."""
        return _ACTIONS[self._lib.pbq_on_track_ended(self._h())]

    def jump(self, index: int) -> None:
        """Makes queue entry `index` current; raises PbqError("jump index out of
        range")."""
        if self._lib.pbq_jump(self._h(), _i32(index)) != 0:
            raise PbqError(_last_error())

    def set_repeat(self, mode: RepeatMode) -> RepeatMode:
        return RepeatMode(self._lib.pbq_set_repeat(self._h(), int(RepeatMode(mode))))

    def cycle_repeat(self) -> RepeatMode:
        """off -> all -> one -> off; returns the new mode."""
        return _REPEAT_MODES[self._lib.pbq_cycle_repeat(self._h())]

    # ---- Up next ------------------------------------------------------------------

    def play_next(self, track: Track) -> Added:
        """Puts `track` right after the current entry. Raises PbqError ("invalid
        track json", "missing streamURL")."""
        return self._added(self._lib.pbq_play_next_json(self._h(), _json_bytes(track)))

    def add_to_queue(self, track: Track) -> Added:
        """Appends `track` at the end of the queue."""
        return self._added(self._lib.pbq_add_to_queue_json(self._h(), _json_bytes(track)))

    def remove_up_next(self, offset: int) -> bool:
        """Removes up-next entry `offset`; False when there is no such entry."""
        return self._lib.pbq_remove_up_next(self._h(), _i32(offset)) == 0

    def move_up_next(self, source: int, target: int) -> bool:
        """Moves up-next entry `source` to up-next index `target`; False when either
        is out of range."""
        return self._lib.pbq_move_up_next(self._h(), _i32(source), _i32(target)) == 0

    def clear_up_next(self) -> None:
        self._lib.pbq_clear_up_next(self._h())

    # ---- Shuffle, rate, sleep -----------------------------------------------------

    def set_shuffle(self, enabled: bool, seed: int = 0) -> None:
        """On: the current entry first, the rest in the order `seed` fixes. Off: the
        source order again, the playing track current."""
        if self._lib.pbq_set_shuffle(self._h(), 1 if enabled else 0, _u64(seed)) != 0:
            raise PbqError(_last_error())

    def set_rate(self, rate: float) -> float:
        """Sets the rate, clamped to [0.5, 2.0] (NaN and infinities give 0.5), and
        returns the rate in force: a 32-bit float, so 1.1 reads back as
        1.100000023841858."""
        return self._lib.pbq_set_rate(self._h(), float(rate))

    def set_sleep_timer(self, mode: SleepMode, duration: int = 0, now: int = 0) -> bool:
        """OFF; TIMER running out at now + duration on the host's clock (duration above
        0); END_OF_TRACK. False when refused (a TIMER without a positive duration)."""
        return self._lib.pbq_set_sleep_timer(self._h(), int(SleepMode(mode)),
                                             _i64(duration, "duration"), _i64(now, "now")) == 0

    def check_sleep_timer(self, now: int) -> Optional[int]:
        """The time left on the timer; 0 once when it has run out (it is then off);
        None when no timer is armed."""
        left = self._lib.pbq_check_sleep_timer(self._h(), _i64(now, "now"))
        return None if left < 0 else left

    # ---- Documents ----------------------------------------------------------------

    def state_json(self) -> str:
        """The state document as the library writes it (compact JSON)."""
        return _take_document(self._lib.pbq_state_json(self._h()))

    def state(self) -> dict[str, Any]:
        """The state document parsed: "currentIndex", "queue", "currentTrack", ..."""
        return json.loads(self.state_json())

    def view(self) -> View:
        """The light read: the state's members but "queue" at once, its entries on
        demand (see View). The view this queue gave before is retired."""
        h = self._h()
        # The document before goes first, so that the new one can take its memory.
        self._retire_view()
        view = View(_take_bytes(self._lib.pbq_state_json(h)))
        self._view = view
        return view

    def _retire_view(self) -> None:
        view, self._view = getattr(self, "_view", None), None
        if view is not None:
            view._retire()

    def export_resume(self, position: float) -> str:
        """The resume document to store when the app goes to the background."""
        return _take_document(self._lib.pbq_export_resume_json(self._h(), float(position)))

    def restore_resume(self, resume: Union[str, bytes], tracks: Tracks) -> Optional[float]:
        """Restores a stored resume document with the same tracks loaded before.
        Returns the position to seek to when the saved track is current again, None
        when there was nothing to resume (then load the tracks afresh). Raises
        PbqError("resume refused") when the texts are unusable: the library gives no
        reason."""
        position = ctypes.c_double(0.0)
        r = self._lib.pbq_restore_resume_json(self._h(), _json_bytes(resume),
                                              _json_bytes(tracks), ctypes.byref(position))
        if r < 0:
            raise PbqError("resume refused")
        return position.value if r == 0 else None

    # ---- Private ------------------------------------------------------------------

    def _added(self, r: int) -> Added:
        if r < 0:
            raise PbqError(_last_error())
        return Added(r)
