#!/usr/bin/env python3
"""Helpers of the host benchmarks.

  tone_list.py list ALBUM_DIR COUNT OUT   a JSON track list of COUNT entries, the
                                           album's tones over and over (OUT beside them)
  tone_list.py unit LIBPBQ LIST           seconds for one state document of LIST
                                           (the median of several), the library alone
  tone_list.py typed COUNT COMMAND...     runs COMMAND (pbq-play) and types `next`
                                           COUNT times once it plays, each after the
                                           answer to the one before; prints the median
                                           seconds from a line typed to its answer
"""
import ctypes
import json
import statistics
import subprocess
import sys
import time


def make_list(album_dir, count, out):
    with open(f"{album_dir}/album.json", encoding="utf-8") as f:
        tones = json.load(f)
    with open(out, "w", encoding="utf-8") as f:
        f.write("[")
        for i in range(count):
            if i:
                f.write(",")
            f.write(json.dumps(tones[i % len(tones)], ensure_ascii=False, separators=(",", ":")))
        f.write("]")


def unit(library, list_path):
    lib = ctypes.CDLL(library)
    lib.pbq_create.restype = ctypes.c_void_p
    lib.pbq_set_tracks_json.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int32, ctypes.c_uint64]
    lib.pbq_state_json.argtypes = [ctypes.c_void_p]
    lib.pbq_state_json.restype = ctypes.c_void_p
    lib.pbq_free.argtypes = [ctypes.c_void_p]
    lib.pbq_destroy.argtypes = [ctypes.c_void_p]
    q = lib.pbq_create()
    with open(list_path, "rb") as f:
        if lib.pbq_set_tracks_json(q, f.read(), 0, 0) != 0:
            sys.exit("the list does not load")
    times = []
    budget = time.perf_counter() + 2.0
    while len(times) < 5 or (len(times) < 50 and time.perf_counter() < budget):
        start = time.perf_counter()
        lib.pbq_free(lib.pbq_state_json(q))
        times.append(time.perf_counter() - start)
    lib.pbq_destroy(q)
    print(f"{statistics.median(times):.9f}")


def typed(count, command):
    player = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, bufsize=0)

    def type_and_wait(line):
        # `status` answers with one line, flushed: the line before it has been
        # answered by then.
        player.stdin.write(f"{line}\nstatus\n".encode())
        player.stdin.flush()
        while True:
            got = player.stdout.readline()
            if not got:
                sys.exit("pbq-play ended early")
            if got.startswith(b"> status"):
                player.stdout.readline()
                return

    type_and_wait("repeat all")
    times = []
    for i in range(count):
        start = time.perf_counter()
        type_and_wait("next")
        times.append(time.perf_counter() - start)
    player.stdin.write(b"quit\n")
    player.stdin.close()
    player.stdout.read()
    player.wait()
    print(f"{statistics.median(times):.9f}")


if __name__ == "__main__":
    if len(sys.argv) == 5 and sys.argv[1] == "list":
        make_list(sys.argv[2], int(sys.argv[3]), sys.argv[4])
    elif len(sys.argv) == 4 and sys.argv[1] == "unit":
        unit(sys.argv[2], sys.argv[3])
    elif len(sys.argv) > 3 and sys.argv[1] == "typed":
        typed(int(sys.argv[2]), sys.argv[3:])
    else:
        sys.exit(__doc__)
