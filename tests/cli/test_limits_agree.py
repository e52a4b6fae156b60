"""`ljungcv limits` against `ljungcv table`: the stretches that limits reports
and the verdict table gives each value must agree at every count looked at,
at every level down to 1e-15, where the curves turn so slowly that
neighbouring values differ only by their rounding.

Usage: test_limits_agree.py LJUNGCV [unittest options]
"""

import csv
import io
import math
import subprocess
import sys
import unittest

LJUNGCV = None

LEVELS = ["0.1", "0.05", "0.01"] + [f"1e-{k}" for k in range(3, 16)]
LARGEST_COUNT = 2147483647
# Counts looked at on either side of each change that limits reports: the
# counts where a curve turns are where rounding could make the verdict of
# neighbouring values flicker.
WINDOW = 600
SPREAD_POINTS = 200


def run(*args):
    result = subprocess.run([LJUNGCV, *args], capture_output=True, text=True, check=False)
    if result.returncode != 0:
        raise AssertionError(f"ljungcv {' '.join(args)}: exit {result.returncode}: {result.stderr}")
    return result.stdout


def verdict_of_limits(text):
    if text == "holds":
        return "holds"
    if text == "no value":
        return "no value"
    if text.startswith("out of range"):
        return "out"
    raise AssertionError(f"unknown verdict {text!r}")


def limits_stretches():
    """{(method, alpha text): [(first, last, verdict)]} for both methods."""
    found = {}
    lines = run("limits", "--method", "both", "--alpha", ",".join(LEVELS)).splitlines()
    for line in lines[1:]:
        method, alpha, first, last, verdict = line.split(None, 4)
        found.setdefault((method, alpha), []).append((int(first), int(last), verdict_of_limits(verdict)))
    return found


def counts_to_check(stretches):
    counts = set()
    for first, last, _ in stretches:
        counts.update((first, last))
        counts.update(range(max(1, first - WINDOW), min(LARGEST_COUNT, first + WINDOW) + 1))
    for i in range(SPREAD_POINTS + 1):
        n = round(math.exp(math.log(LARGEST_COUNT) * i / SPREAD_POINTS))
        counts.update(range(max(1, n - 1), min(LARGEST_COUNT, n + 1) + 1))
    return sorted(counts)


def table_verdicts(method, alpha, counts):
    text = run("table", "--method", method, "--alpha", alpha, "--format", "csv", "--n", ",".join(map(str, counts)))
    verdicts = {}
    for row in csv.DictReader(io.StringIO(text)):
        if row["value"] == "":
            verdict = "no value"
        else:
            verdict = "out" if row["turned_down"] == "1" else "holds"
        verdicts[int(row["n"])] = verdict
    return verdicts


class LimitsAgreeWithTable(unittest.TestCase):
    def test_every_count_looked_at_has_the_verdict_of_its_stretch(self):
        found = limits_stretches()
        self.assertEqual(len(found), 2 * len(LEVELS))
        for (method, alpha), stretches in sorted(found.items()):
            with self.subTest(method=method, alpha=alpha):
                self.assertEqual(stretches[0][0], 1)
                self.assertEqual(stretches[-1][1], LARGEST_COUNT)
                for before, after in zip(stretches, stretches[1:]):
                    self.assertEqual(after[0], before[1] + 1)
                counts = counts_to_check(stretches)
                verdicts = table_verdicts(method, alpha, counts)
                self.assertEqual(len(verdicts), len(counts))
                disagreements = []
                for first, last, verdict in stretches:
                    for n in counts:
                        if first <= n <= last and verdicts[n] != verdict:
                            disagreements.append((n, verdicts[n], verdict))
                self.assertEqual(disagreements[:10], [], f"{len(disagreements)} counts where table and limits differ")


if __name__ == "__main__":
    LJUNGCV = sys.argv.pop(1)
    unittest.main()
