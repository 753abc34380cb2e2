#!/usr/bin/env python3
"""Runs pbq-play and times its output lines, for the folder and missing-list pieces.

  timed_run.py [--quit-at SECONDS] [--quit-on PREFIX] [--limit SECONDS] -- COMMAND...

Prints `first <prefix>: SECONDS` for each PREFIX given with --mark, the first time a
line starting with it appeared; `quit typed: SECONDS` and `exited: SECONDS`, all
counted from the start. `quit` is typed at --quit-at, or as soon as a line starts
with --quit-on; standard input closes with it. A run past --limit is killed.
"""
import argparse
import os
import selectors
import subprocess
import sys
import time

parser = argparse.ArgumentParser()
parser.add_argument("--quit-at", type=float)
parser.add_argument("--quit-on", action="append", default=[])
parser.add_argument("--mark", action="append", default=[])
parser.add_argument("--limit", type=float, default=300.0)
parser.add_argument("command", nargs="+")
args = parser.parse_args()

start = time.monotonic()
proc = subprocess.Popen(args.command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
os.set_blocking(proc.stdout.fileno(), False)
sel = selectors.DefaultSelector()
sel.register(proc.stdout, selectors.EVENT_READ)
marks = {}
pending = b""
quit_typed = None
lines = 0
eof = False


def type_quit():
    global quit_typed
    if quit_typed is None:
        quit_typed = time.monotonic() - start
        try:
            proc.stdin.write(b"quit\n")
            proc.stdin.close()
        except BrokenPipeError:
            pass


while True:
    now = time.monotonic() - start
    if now > args.limit:
        proc.kill()
        print(f"killed: {now:.3f}")
        break
    if args.quit_at is not None and now >= args.quit_at:
        type_quit()
    if eof:
        time.sleep(0.01)
    timeout = 0.01 if args.quit_at is not None and quit_typed is None else 0.1
    for _ in sel.select(timeout) if not eof else []:
        chunk = proc.stdout.read()
        if chunk:
            pending += chunk
        elif chunk == b"":
            eof = True
            sel.unregister(proc.stdout)
    at = time.monotonic() - start
    while b"\n" in pending:
        line, pending = pending.split(b"\n", 1)
        lines += 1
        text = line.decode("utf-8", "replace")
        for prefix in args.mark:
            if prefix not in marks and text.startswith(prefix):
                marks[prefix] = at
        if any(text.startswith(p) for p in args.quit_on):
            type_quit()
    if eof:
        break
    if proc.poll() is not None and not pending and not sel.select(0):
        break

proc.wait()
end = time.monotonic() - start
for prefix in args.mark:
    print(f"first {prefix}: {marks[prefix]:.3f}" if prefix in marks else f"first {prefix}: none")
if quit_typed is not None:
    print(f"quit typed: {quit_typed:.3f}")
print(f"exited: {end:.3f}")
print(f"lines: {lines}")
print(f"status: {proc.returncode}")
