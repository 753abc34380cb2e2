"""The Python binding's reads at each queue length: the light read after a command
(next(), then view() and a window of 20 entries around the current one), the whole
state() and state_json(). Prints `python N name: ms` lines, the best of several rounds.
    python3 light.py 10 100000 1000000"""
import sys
import time

import pbq


def tracks_json(n):
    return "[" + ",".join(
        f'{{"streamURL":"https://media.example/artist/album/{i:07d}.m4a",'
        f'"title":"Track {i} of the album \\"Live\\" \u00e9t\u00e9","artist":"Some Artist",'
        f'"artworkURL":"https://media.example/artist/album/cover.jpg","duration":215.5}}'
        for i in range(n)) + "]"


def best(fn, rounds):
    low = float("inf")
    for _ in range(rounds):
        t0 = time.perf_counter()
        fn()
        low = min(low, time.perf_counter() - t0)
    return low * 1000


def light(q):
    q.next()
    view = q.view()
    start = max(0, view.current_index - 10)
    view.entries(start, 20)


for n in map(int, sys.argv[1:]):
    rounds = 3 if n >= 1000000 else 10
    with pbq.Queue() as q:
        q.set_tracks(tracks_json(n))
        q.set_repeat(pbq.RepeatMode.ALL)
        q.jump(n // 2)
        print(f"python {n} state_json: {best(q.state_json, rounds):.3f}")
        print(f"python {n} state: {best(q.state, rounds):.3f}")
        if hasattr(q, "view"):
            print(f"python {n} light: {best(lambda: light(q), rounds):.3f}")
