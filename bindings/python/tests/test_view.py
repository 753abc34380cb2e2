"""The light read (Queue.view()) against the whole state(), over the table of states
shared by every binding (bindings/light-read.json)."""
import json
import os
import re

import pytest

import pbq
from conftest import REPO

with open(os.path.join(REPO, "bindings", "light-read.json"), encoding="utf-8") as f:
    CASES = json.load(f)["cases"]


def snake(name):
    return re.sub(r"([A-Z])", lambda m: "_" + m.group(1).lower(), name)


def build(case):
    q = pbq.Queue()
    if case["tracks"] is not None:
        q.set_tracks(case["tracks"], case.get("start", 0))
    for method, *args in case["steps"]:
        getattr(q, snake(method))(*args)
    return q


def slices(n):
    return [(0, 0), (0, 1), (0, n), (1, 2), (2, 100), (max(0, n - 1), 1), (n, 1), (n + 5, 2), (0, 2 ** 40)]


@pytest.mark.parametrize("case", CASES, ids=[c["name"] for c in CASES])
def test_view_equals_state(case):
    with build(case) as q:
        state = q.state()
        queue = state.pop("queue")
        view = q.view()
        assert view.members() == state
        for key, value in state.items():
            assert getattr(view, snake(key)) == value, key
        for i, entry in enumerate(queue):
            assert view.entry(i) == entry, i
        for i in (-1, len(queue), len(queue) + 1, 2 ** 63):
            assert view.entry(i) is None, i
        for start, count in slices(len(queue)):
            assert view.entries(start, count) == queue[start:start + count], (start, count)
        assert view.entries(0, len(queue)) == queue
        for start, count in ((-1, 1), (0, -1)):
            with pytest.raises(ValueError):
                view.entries(start, count)


def test_a_view_keeps_its_state_until_the_next_view_retires_it():
    case = next(c for c in CASES if c["name"].startswith("an album"))
    q = build(case)
    before = q.state()
    view = q.view()
    q.next()
    q.clear_up_next()
    assert view.current_index == before["currentIndex"]
    assert view.entries(0, 100) == before["queue"]
    newer = q.view()
    assert (newer.current_index, newer.queue_count) == (before["currentIndex"] + 1, before["currentIndex"] + 2)
    for read in (lambda: view.entry(0), lambda: view.entries(0, 1)):
        with pytest.raises(pbq.PbqError, match="stale"):
            read()
    q.close()
    with pytest.raises(pbq.PbqError, match="stale"):
        newer.entry(0)
    with pytest.raises(pbq.PbqError, match="queue is closed"):
        q.view()


def test_a_long_current_track_is_read_past_the_first_window():
    title = '\u00e9"' * 5000
    with pbq.Queue() as q:
        q.set_tracks([{"streamURL": "a", "title": title}, {"streamURL": "b"}])
        view = q.view()
        assert view.current_track["title"] == title
        assert view.entries(0, 2) == q.state()["queue"]


def test_a_view_at_100000_entries_reads_its_window():
    n = 100000
    tracks = [{"streamURL": f"{i}.m4a", "title": f'T{{"{i}"}}'} for i in range(n)]
    with pbq.Queue() as q:
        q.set_tracks(tracks, n - 3)
        view = q.view()
        assert view.queue_count == n
        assert view.current_track["title"] == f'T{{"{n - 3}"}}'
        assert [t["streamURL"] for t in view.entries(n - 2, 5)] == [f"{n - 2}.m4a", f"{n - 1}.m4a"]
        assert view.entry(50000)["title"] == 'T{"50000"}'
