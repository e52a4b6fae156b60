"""How exact the corrected method's exact values are, and how closely the
corrected curve meets its anchors, through ljungcv eval and the stand-in host.

- n = 1 and 2 are exact up to the normal quantile's own error (AS 111),
  checked against a 40-digit evaluation with mpmath (Debian's python3-mpmath).
- At n = 2, 100 and 200 the fitted curve meets its anchors (the exact n = 2
  value, Ljung's value) up to the rounding of the fit; the bounds are those a
  sweep of 1 000 001 levels measured, and this test walks every 50th of them.

Usage: test_exactness.py LJUNGCV [unittest options]; needs mpmath.
"""

import math
import os
import subprocess
import sys
import unittest

import mpmath

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import critical_values as reference  # noqa: E402

LJUNGCV = None
mpmath.mp.dps = 40

# The sweep: alpha = 10^(LOW + (-1 - LOW) k / SWEEP), k = 0 .. SWEEP.
LOW, SWEEP, STRIDE = math.log10(3.4e-16), 1_000_000, 50
# Largest distance in units in the last place, at n = 2, 100, 200: over the
# whole sweep, and for alpha >= 0.001.
ANCHOR_ULPS = {2: 87, 100: 50, 200: 48}
ANCHOR_ULPS_USUAL_LEVELS = {2: 22, 100: 13, 200: 11}


def evaluate(points):
    text = "".join(f"{n} {alpha!r} {method}\n" for n, alpha, method in points)
    result = subprocess.run([LJUNGCV, "eval"], input=text, capture_output=True, text=True, check=True)
    return [float(row.split(",")[3]) for row in result.stdout.splitlines()[1:]]


def exact(n, alpha):
    alpha = mpmath.mpf(alpha)
    p = 1 - alpha / 2 if n == 1 else (1 + mpmath.sqrt(1 - alpha)) / 2
    return mpmath.sqrt(2) * mpmath.erfinv(2 * p - 1)


class Exactness(unittest.TestCase):
    def test_one_and_two_observations_carry_the_quantiles_error(self):
        # (levels, largest relative error of the values for n = 1 and 2)
        cases = [([0.001 + 0.099 * k / 400 for k in range(401)], 5.4e-8), ([1e-4], 6.9e-7), ([1e-12], 3.5e-5)]
        for levels, bound in cases:
            values = evaluate([(n, alpha, "C") for alpha in levels for n in (1, 2)])
            errors = [abs((mpmath.mpf(v) - exact(n, alpha)) / exact(n, alpha))
                      for (alpha, n), v in zip([(a, n) for a in levels for n in (1, 2)], values)]
            with self.subTest(levels=f"{levels[0]}..{levels[-1]}"):
                self.assertLessEqual(max(errors), bound)
                self.assertGreater(max(errors), bound / 3, "the bound is the measured one")

    def test_the_fit_meets_its_anchors(self):
        levels = [10 ** (LOW + (-1 - LOW) * k / SWEEP) for k in range(0, SWEEP + 1, STRIDE)]
        points = [(n, alpha, m) for alpha in levels for n, m in ((2, "C"), (100, "C"), (100, "L"), (200, "C"), (200, "L"))]
        values = evaluate(points)
        worst, worst_usual = dict.fromkeys(ANCHOR_ULPS, 0), dict.fromkeys(ANCHOR_ULPS, 0)
        for i, alpha in enumerate(levels):
            c2, c100, l100, c200, l200 = values[5 * i:5 * i + 5]
            y2 = reference.normal_quantile((math.sqrt(1.0 - alpha) + 1.0) * 0.5)[0]
            for n, value, anchor in ((2, c2, y2), (100, c100, l100), (200, c200, l200)):
                ulps = abs(value - anchor) / math.ulp(anchor)
                worst[n] = max(worst[n], ulps)
                if alpha >= 0.001:
                    worst_usual[n] = max(worst_usual[n], ulps)
        for n in ANCHOR_ULPS:
            with self.subTest(n=n):
                self.assertLessEqual(worst[n], ANCHOR_ULPS[n])
                self.assertLessEqual(worst_usual[n], ANCHOR_ULPS_USUAL_LEVELS[n])
        self.assertGreater(worst[2], 15, "the old claim of 15 units was wrong")


if __name__ == "__main__":
    LJUNGCV = sys.argv.pop(1)
    unittest.main()
