"""The module's values, through ljungcv eval and the stand-in host, compared
bit for bit with an independent step-by-step evaluation (critical_values.py)
on a large grid of counts and levels, both methods.

Usage: test_reference.py LJUNGCV
"""

import math
import os
import random
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import critical_values as reference  # noqa: E402

LJUNGCV = None
STATUS_OK, STATUS_NO_RESULT = 0, 120833


def grid():
    counts = list(range(-3, 400)) + [2**31 - 1, -2**31, 2**31 - 2]
    counts += sorted({int(10 ** (k / 20)) for k in range(52, 187)})
    levels = [0.0, 1e-17, 5e-324, 1e-16, 2.3e-16, 5e-16, 1e-12, 1e-6, 0.1, math.nextafter(0.1, 0.0)]
    levels += [k / 1000 for k in range(1, 101)]
    rng = random.Random(20261208)
    levels += [rng.uniform(0.0, 0.1) for _ in range(40)]
    points = []
    for method in ("C", "L"):
        for n in counts:
            for alpha in levels:
                points.append((n, alpha, method))
    # Random counts over the whole 32-bit range as well.
    for _ in range(20000):
        points.append((rng.randrange(-2**31, 2**31), rng.uniform(0.0, 0.1), rng.choice("CL")))
    return points


class Reference(unittest.TestCase):
    def test_values_agree_bit_for_bit(self):
        points = grid()
        text = "".join(f"{n} {alpha!r} {method}\n" for n, alpha, method in points)
        result = subprocess.run([LJUNGCV, "eval"], input=text, capture_output=True, text=True, check=False)
        self.assertEqual(result.returncode, 0, result.stderr[:300])
        rows = result.stdout.splitlines()[1:]
        self.assertEqual(len(rows), len(points))
        mismatches = []
        for (n, alpha, method), row in zip(points, rows):
            value, status = row.split(",")[3:5]
            expected = reference.corrected(n, alpha) if method == "C" else reference.ljung(n, alpha)
            if expected is None:
                ok = status == str(STATUS_NO_RESULT) and value == ""
            else:
                ok = status == str(STATUS_OK) and float(value).hex() == expected.hex()
            if not ok:
                mismatches.append((n, alpha, method, value, status, expected))
        self.assertEqual(mismatches[:10], [], f"{len(mismatches)} of {len(points)} differ")
        print(f"{len(points)} points agree bit for bit", file=sys.stderr)


if __name__ == "__main__":
    LJUNGCV = sys.argv.pop(1)
    unittest.main()
