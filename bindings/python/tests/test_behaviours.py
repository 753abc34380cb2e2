"""The behaviour table shared by every binding (bindings/behaviours.json), run
through the Python Queue."""
import json
import math
import os
import struct

import pytest

import pbq
from conftest import REPO

with open(os.path.join(REPO, "bindings", "behaviours.json"), encoding="utf-8") as f:
    TABLE = json.load(f)

ENUMS = {"action": pbq.Action, "repeat": pbq.RepeatMode, "added": pbq.Added, "sleep": pbq.SleepMode}


def float32(x):
    return struct.unpack("f", struct.pack("f", x))[0]


def argument(value, kept):
    if isinstance(value, str) and value.startswith("@"):
        return json.dumps(TABLE["tracks"][value[1:]])
    if isinstance(value, str) and value.startswith("$"):
        return kept[value[1:]]
    if isinstance(value, dict) and len(value) == 1:
        (kind, name), = value.items()
        if kind == "u64":
            return int(name)
        if kind in ENUMS:
            return ENUMS[kind][name]
    return value  # numbers, booleans, raw JSON text, a track as a dict


def check_state(state, expected):
    for key, want in expected.items():
        if key == "queueURLs":
            assert [t["streamURL"] for t in state["queue"]] == want
        elif key == "currentURL":
            assert state["currentTrack"]["streamURL"] == want
        else:
            assert state[key] == want, key


@pytest.mark.parametrize("case", TABLE["cases"], ids=[c["name"] for c in TABLE["cases"]])
def test_behaviour(case):
    q = pbq.Queue()
    kept = {}
    try:
        for i, (method, args, expected, *keep) in enumerate(case["steps"]):
            where = f"step {i}: {method}{tuple(args)}"
            if method == "reopen":
                q.close()
                q = pbq.Queue()
                continue
            call = getattr(q, method)
            values = [argument(a, kept) for a in args]
            if expected is not None and "error" in expected:
                with pytest.raises(pbq.PbqError) as raised:
                    call(*values)
                assert str(raised.value) == expected["error"], where
                continue
            result = call(*values)
            if keep:
                kept[keep[0]] = result
            if expected is None:
                continue
            (kind, want), = expected.items()
            if kind == "value":
                if isinstance(want, bool) or want is None:
                    assert result is want, where
                else:
                    assert result == want and not isinstance(result, bool), where
            elif kind == "float32":
                assert result == float32(want), where
            elif kind == "state":
                check_state(result, want)
            else:
                assert result is ENUMS[kind][want], where
    finally:
        q.close()


def test_rate_is_not_a_double():
    # A double declaration would hand back 1.1 exactly; the library holds a float.
    with pbq.Queue() as q:
        assert q.set_rate(1.1) != 1.1
        assert q.set_rate(math.nan) == 0.5
        assert q.set_rate(-math.inf) == 0.5


def test_indices_beyond_int32_stay_out_of_range():
    # Wrapped to 32 bits, 2**32 would be 0, a valid entry.
    with pbq.Queue() as q:
        q.set_tracks(TABLE["tracks"]["three"], 1)
        with pytest.raises(pbq.PbqError, match="jump index out of range"):
            q.jump(1 << 32)
        assert not q.remove_up_next(1 << 32)
        q.set_tracks(TABLE["tracks"]["three"], (1 << 32) + 1)
        assert q.state()["currentIndex"] == 2
        with pytest.raises(OverflowError):
            q.set_shuffle(True, -1)

