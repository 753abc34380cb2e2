"""The Python binding's side of the bindings' benchmark: nanoseconds per call of
Queue.next(), Queue.state_json() and Queue.state() (parsed) on 1,000 tracks, the best
of five rounds, as bench_c.c measures the C calls."""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "python"))
import pbq  # noqa: E402


def tracks_json(n):
    return "[" + ",".join(
        f'{{"streamURL":"https://media.example/artist/album/{i:04d}.m4a",'
        f'"title":"Track {i} of the album","artist":"Some Artist",'
        f'"artworkURL":"https://media.example/artist/album/cover.jpg","duration":215.5}}'
        for i in range(n)) + "]"


def best(fn, n):
    times = []
    for _ in range(5):
        t0 = time.perf_counter_ns()
        for _ in range(n):
            fn()
        times.append((time.perf_counter_ns() - t0) / n)
    return min(times)


with pbq.Queue() as q:
    q.set_tracks(tracks_json(1000))
    q.set_repeat(pbq.RepeatMode.ALL)
    print(f"next {best(q.next, 200_000):.1f}")
    print(f"state_json {best(q.state_json, 2000):.1f}")
    print(f"state {best(q.state, 300):.1f}")
