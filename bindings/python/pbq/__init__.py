"""The playback-queue state of a music player, over libpbq.

    with pbq.Queue() as q:
        q.set_tracks(album, start_index=2)
        if q.track_ended() is pbq.Action.PLAY:
            play(q.state()["currentTrack"])

A `Queue` owns one library handle and frees it on `close()` (or at the end of a
`with` block). Calls whose C function writes an error text raise `PbqError` with that
text; calls that the library refuses without a text return False. Documents come back
as Python strings (`state_json`, `export_resume`) or parsed (`state`); every C text is
released with pbq_free inside. A queue is used by one thread at a time.
"""
from __future__ import annotations

import ctypes
import enum
import json
from typing import Any, Mapping, Optional, Sequence, Union

from ._native import LibraryNotFound, library

__all__ = ["Queue", "PbqError", "LibraryNotFound", "Action", "RepeatMode", "SleepMode",
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


def version() -> str:
    """The loaded library's version, e.g. "1.0.0"."""
    return library().pbq_version().decode("ascii")


def abi_version() -> int:
    return library().pbq_abi_version()


def selftest() -> int:
    """Runs the library's self-test: 0 when it passed, else the first failing step."""
    return library().pbq_selftest()


class Queue:
    """One player's queue: the loaded tracks, the play order, the current entry, up
    next, repeat, shuffle, rate and the sleep timer."""

    __slots__ = ("_q", "_lib")

    def __init__(self) -> None:
        self._lib = library()
        self._q: Optional[int] = self._lib.pbq_create()
        if not self._q:
            raise PbqError("out of memory")

    # ---- Life ---------------------------------------------------------------------

    def close(self) -> None:
        """Frees the handle. Later calls raise PbqError("queue is closed"); closing
        again does nothing."""
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
