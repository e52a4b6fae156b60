#!/usr/bin/env python3
"""Compares the module's values on two platforms, value by value.

Feeds the same grid of (n, alpha, method) points to two `ljungcv eval`
commands, normally the Linux build and the Windows build under Wine, and
compares their answers: the status of every point must agree, and values are
compared bit for bit, a difference being counted in units in the last place
(ULP: the number of doubles between the two). Also compares the default
`ljungcv table` of both.

Usage: cross_check.py [--max-ulp N] LINUX_LJUNGCV -- WINDOWS_COMMAND...

Exits 0 when every status agrees, the tables agree and no value differs by
more than --max-ulp ULP (default: no limit, differences are only reported);
1 otherwise.
"""

import argparse
import math
import random
import struct
import subprocess
import sys


def grid():
    """Both methods over every count to 1000 and a spread of larger ones,
    each at levels from 0 to 0.1: the edges, tiny levels, a regular
    thousandth-step grid and random ones."""
    counts = list(range(-2, 1001))
    counts += sorted({int(10 ** (k / 25)) for k in range(76, 234)} | {2**31 - 2, 2**31 - 1})
    levels = [0.0, 5e-324, 1e-300, 1e-17, 1e-16, 5e-16, 1e-12, 1e-9, 1e-6, 1e-4,
              0.1, math.nextafter(0.1, 0.0)]
    levels += [k / 1000 for k in range(1, 100)]
    rng = random.Random(6)
    levels += [rng.uniform(0.0, 0.1) for _ in range(40)]
    return [(n, alpha, method) for method in ("C", "L") for n in counts for alpha in levels]


def run(command, text=None):
    result = subprocess.run(command, input=text, capture_output=True, text=True, check=False)
    if result.returncode != 0:
        sys.exit(f"cross_check: {' '.join(command)} exited with {result.returncode}: {result.stderr[:500]}")
    return result.stdout


def evaluate(command, points):
    text = "".join(f"{n} {alpha!r} {method}\n" for n, alpha, method in points)
    rows = run(command + ["eval"], text).splitlines()[1:]
    if len(rows) != len(points):
        sys.exit(f"cross_check: {' '.join(command)} answered {len(rows)} of {len(points)} points")
    answers = []
    for row in rows:
        value, status = row.split(",")[3:5]
        answers.append((status, float(value) if value else None))
    return answers


def ordered(x):
    """The double's position on a line of all doubles, so that adjacent
    doubles differ by 1."""
    (bits,) = struct.unpack("<q", struct.pack("<d", x))
    return bits if bits >= 0 else -(bits & 0x7FFFFFFFFFFFFFFF)


def ulp_distance(a, b):
    return abs(ordered(a) - ordered(b))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--max-ulp", type=int, default=None)
    parser.add_argument("linux")
    parser.add_argument("windows", nargs="+")
    args = parser.parse_args()
    linux, windows = [args.linux], args.windows

    points = grid()
    ours, theirs = evaluate(linux, points), evaluate(windows, points)

    status_mismatches = []
    differing = []  # (ulp, point, linux value, windows value)
    values = 0
    for point, (s1, v1), (s2, v2) in zip(points, ours, theirs):
        if s1 != s2 or (v1 is None) != (v2 is None):
            status_mismatches.append((point, s1, v1, s2, v2))
        elif v1 is not None:
            values += 1
            if v1 != v2 or math.copysign(1, v1) != math.copysign(1, v2):
                differing.append((ulp_distance(v1, v2), point, v1, v2))

    tables_agree = run(linux + ["table"]) == run(windows + ["table"]).replace("\r\n", "\n")

    print(f"points: {len(points)} (both methods), with a value: {values}, without: {len(points) - values}")
    print(f"status mismatches: {len(status_mismatches)}")
    for point, s1, v1, s2, v2 in status_mismatches[:10]:
        print(f"  {point}: Linux {s1} {v1!r}, Windows {s2} {v2!r}")
    print(f"values identical: {values - len(differing)}, differing: {len(differing)}")
    if differing:
        histogram = {}
        for ulp, *_ in differing:
            histogram[ulp] = histogram.get(ulp, 0) + 1
        print("  ULP difference: count  " + ", ".join(f"{u}: {c}" for u, c in sorted(histogram.items())))
        for method in ("C", "L"):
            of_method = [d for d in differing if d[1][2] == method]
            print(f"  method {method}: {len(of_method)} differ, largest {max((d[0] for d in of_method), default=0)} ULP")
        print("  largest:")
        for ulp, point, v1, v2 in sorted(differing, key=lambda d: -d[0])[:5]:
            print(f"    {ulp} ULP at n={point[0]} alpha={point[1]!r} {point[2]}: Linux {v1!r}, Windows {v2!r}")
    print(f"ljungcv table: {'identical' if tables_agree else 'DIFFERENT'}")

    largest = max((d[0] for d in differing), default=0)
    failed = status_mismatches or not tables_agree or (args.max_ulp is not None and largest > args.max_ulp)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
