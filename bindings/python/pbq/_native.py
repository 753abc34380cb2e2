"""Finds libpbq and declares its C signatures for ctypes.

Every function is declared: an undeclared one would pass the rate as a double and
cut 64-bit seeds, clock values and pointers to an int.
"""
from __future__ import annotations

import ctypes
import os
from typing import Optional

SONAME = "libpbq.so.1"
ABI_VERSION = 1

_lib: Optional[ctypes.CDLL] = None


class LibraryNotFound(OSError):
    """libpbq could not be loaded; the message says where it was looked for."""


def _candidates() -> list[tuple[str, str]]:
    """(path, where it came from), in the order they are tried."""
    explicit = os.environ.get("PBQ_LIBRARY")
    if explicit:
        # An explicit choice is never replaced by another library silently.
        return [(explicit, "$PBQ_LIBRARY")]
    here = os.path.dirname(os.path.abspath(__file__))
    return [(os.path.join(here, SONAME), "beside the package"),
            (SONAME, "the loader path (LD_LIBRARY_PATH, ldconfig)")]


def _declare(lib: ctypes.CDLL) -> None:
    q = ctypes.c_void_p                 # pbq_queue *, opaque
    i32, i64, u64 = ctypes.c_int32, ctypes.c_int64, ctypes.c_uint64
    f32, f64 = ctypes.c_float, ctypes.c_double
    text = ctypes.c_char_p              # borrowed from the library: copied, never freed
    owned = ctypes.c_void_p             # ours: kept as a pointer so that pbq_free gets it back
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
        "pbq_previous": (i32, [q, f64]),
        "pbq_jump": (i32, [q, i32]),
        "pbq_set_repeat": (i32, [q, i32]),
        "pbq_cycle_repeat": (i32, [q]),
        "pbq_play_next_json": (i32, [q, ctypes.c_char_p]),
        "pbq_add_to_queue_json": (i32, [q, ctypes.c_char_p]),
        "pbq_remove_up_next": (i32, [q, i32]),
        "pbq_move_up_next": (i32, [q, i32, i32]),
        "pbq_clear_up_next": (i32, [q]),
        "pbq_set_shuffle": (i32, [q, i32, u64]),
        "pbq_set_rate": (f32, [q, f32]),
        "pbq_set_sleep_timer": (i32, [q, i32, i64, i64]),
        "pbq_check_sleep_timer": (i64, [q, i64]),
        "pbq_state_json": (owned, [q]),
        "pbq_export_resume_json": (owned, [q, f64]),
        "pbq_restore_resume_json": (i32, [q, ctypes.c_char_p, ctypes.c_char_p,
                                          ctypes.POINTER(f64)]),
        "pbq_selftest": (i32, []),
    }
    for name, (restype, argtypes) in signatures.items():
        fn = getattr(lib, name)
        fn.restype = restype
        fn.argtypes = argtypes


def library() -> ctypes.CDLL:
    """The loaded library, opened on first use."""
    global _lib
    if _lib is not None:
        return _lib
    failures = []
    for path, origin in _candidates():
        try:
            lib = ctypes.CDLL(path)
        except OSError as e:
            failures.append(f"  {origin}: {e}")
            continue
        _declare(lib)
        abi = lib.pbq_abi_version()
        if abi != ABI_VERSION:
            raise LibraryNotFound(
                f"{path} has ABI version {abi}; this package needs {ABI_VERSION}")
        _lib = lib
        return lib
    raise LibraryNotFound(
        f"pbq: cannot load {SONAME}. Tried:\n" + "\n".join(failures) +
        f"\nPut {SONAME} beside the pbq package, install it where the loader finds it, "
        "or set PBQ_LIBRARY to its path.")
