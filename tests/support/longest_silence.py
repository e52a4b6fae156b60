#!/usr/bin/env python3
"""Copies standard input to standard output line by line and ends with a
line giving how long the whole took and the longest stretch without a line
(from the start, between two lines, or before the end). Fails (exit 1) when
that stretch is longer than LIMIT seconds, naming the line it followed: a
script that leaves its user waiting that long without a word.

Usage: COMMAND 2>&1 | longest_silence.py LIMIT
"""
import sys
import time

limit = float(sys.argv[1])
start = last = time.monotonic()
longest, after = 0.0, "the start"
previous = "the start"
while True:
    line = sys.stdin.buffer.readline()
    now = time.monotonic()
    if now - last > longest:
        longest, after = now - last, previous
    last = now
    if not line:
        break
    sys.stdout.buffer.write(line)
    sys.stdout.flush()
    previous = repr(line.decode(errors="replace").rstrip("\n"))


def minutes(seconds):
    return f"{int(seconds) // 60}:{int(seconds) % 60:02d}"


verdict = "" if longest <= limit else f", more than {limit:g} s"
print(f"longest_silence: {minutes(now - start)} in all; the longest silence {longest:.0f} s{verdict}, after {after}",
      flush=True)
sys.exit(1 if verdict else 0)
