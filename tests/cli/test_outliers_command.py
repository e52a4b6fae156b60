"""`ljungcv outliers` against the shared fixture of the outlier procedure
(the bits the C call gives, which Python and R check too), its three
formats against each other, and its refusals: each a clear message, an exit
code, and nothing on standard output. With the model identified (--order
auto, the default), the same call with the final identified order given
gives the same result, and every format names that model.

Usage: test_outliers_command.py LJUNGCV FIXTURE [unittest options]
"""

import csv
import io
import json
import math
import os
import random
import subprocess
import sys
import tempfile
import unittest

LJUNGCV = None
FIXTURE = None
TYPES = {1: "IO", 2: "AO", 4: "LS", 8: "TC", 16: "SLS"}


def fixture_cases():
    """The fixture's cases without a regressor (the command takes none)."""
    cases, case = [], None
    with open(FIXTURE, encoding="utf-8") as file:
        for line in file:
            if line.startswith("#") or not line.strip():
                continue
            field, *values = line.split()
            if field == "case":
                case = {"name": values[0], "order": values[1:4], "seasonal": values[4:8],
                        "types": int(values[8]), "delta": float.fromhex(values[9]),
                        "alpha": float.fromhex(values[10]), "method": values[11],
                        "threshold": values[12]}  # the caller's; "critical_value" is the one used
                cases.append(case)
            elif field in ("y", "adjusted", "xreg"):
                case[field] = [math.nan if v == "NaN" else float.fromhex(v) for v in values]
            elif field == "resampling":
                case[field] = values
            elif field == "outliers":
                case[field] = [(int(i), TYPES[int(t)], float.fromhex(e), float.fromhex(s))
                               for i, t, e, s in (v.split(":") for v in values)]
            else:
                case[field] = values[0]
    return [c for c in cases if "xreg" not in c]


def run(args, stdin=""):
    return subprocess.run([LJUNGCV, "outliers", *args], input=stdin, capture_output=True, text=True, check=False)


def options_of(case):
    args = ["--order", ",".join(case["order"]), "--alpha", repr(case["alpha"]), "--delta", repr(case["delta"]),
            "--types", ",".join(name for bit, name in TYPES.items() if case["types"] & bit)]
    if case["seasonal"][3] != "1":
        args += ["--seasonal", ",".join(case["seasonal"])]
    if case["method"] != "-":
        args += ["--method", case["method"]]
    if case["threshold"] != "-":
        args += ["--critical-value", repr(float.fromhex(case["threshold"]))]
    if "resampling" in case:
        args += ["--resamples", case["resampling"][0], "--seed", case["resampling"][1]]
    return args


class Fixture(unittest.TestCase):
    def test_json_and_csv_give_the_c_calls_bits(self):
        for case in fixture_cases():
            with self.subTest(case=case["name"]):
                series = "".join("NA\n" if math.isnan(v) else f"{v!r}\n" for v in case["y"])
                done = run(options_of(case) + ["--format", "json"], series)
                self.assertEqual(done.returncode, 0, done.stderr)
                document = json.loads(done.stdout)
                found = [(o["index"] - 1, o["type"], o["effect"], o["t"]) for o in document["outliers"]]
                self.assertEqual(found, case["outliers"])
                self.assertEqual(document["critical_value"], float.fromhex(case["critical_value"]))
                self.assertEqual(document["tested"], int(case["tested"]))
                adjusted = [math.nan if row["adjusted"] is None else row["adjusted"] for row in document["series"]]
                self.assertEqual([v.hex() for v in adjusted], [v.hex() for v in case["adjusted"]])

                done = run(options_of(case) + ["--format", "csv"], series)
                rows = list(csv.DictReader(io.StringIO(done.stdout)))
                self.assertEqual([(int(r["index"]) - 1, r["outlier"], float(r["effect"]), float(r["t"]))
                                  for r in rows if r["outlier"]], case["outliers"])
                self.assertEqual([float(r["adjusted"] or "nan").hex() for r in rows],
                                 [v.hex() for v in case["adjusted"]])


class Input(unittest.TestCase):
    def test_a_csv_with_times_and_gaps(self):
        case = fixture_cases()[0]
        lines = ["date,value"]
        for t, v in enumerate(case["y"]):
            lines.append(f"2000-{t:03d},{'' if t in (3, 70) else repr(v)}")
        done = run(["--order", "1,0,0", "--format", "csv"], "\n".join(lines) + "\n")
        self.assertEqual(done.returncode, 0, done.stderr)
        rows = list(csv.DictReader(io.StringIO(done.stdout)))
        self.assertEqual([r["time"] for r in rows], [f"2000-{t:03d}" for t in range(len(case["y"]))])
        self.assertEqual([r["value"] for r in rows if not r["adjusted"]], ["", ""])
        text = run(["--order", "1,0,0"], "\n".join(lines) + "\n")
        self.assertIn("2000-030  AO", text.stdout)

    def test_refusals_say_why_and_write_nothing(self):
        with tempfile.TemporaryDirectory() as folder:
            missing = os.path.join(folder, "no\x1bsuch.txt")
            cases = [
                ("a missing file", [missing], "", 5, "cannot read '" + missing.replace("\x1b", "\\x1b") + "'"),
                ("an empty series", [], "", 5, "standard input holds no values"),
                ("text in a value", [], "1\n2\nabc\n4\n", 5, "line 3: 'abc' is not a number"),
                ("an infinite value", [], "1\ninf\n", 5, "line 2: the value 'inf' is not finite"),
                ("two values a line without a header", [], "1 2\n", 5, "line 1: found 2 fields"),
                ("a header without a value column", [], "time,a,b\n1,2,3\n", 5, "names no value column"),
                ("too short for the model", ["--order", "2,1,2"], "1\n2\n3\n", 2, "too few for this model"),
                ("too few to test", [], "1\n2\n3\n", 2, "outlier detection needs at least 5"),
                ("too few for any model identified", [], "1\n2\n", 2, "no candidate model could be fitted"),
                ("an order that is not three numbers", ["--order", "1,0"], "1\n", 3, "is not p,d,q"),
                ("an unknown type", ["--types", "AO,XO"], "1\n", 3, "'XO' is not an outlier type"),
                ("a level the function rejects", ["--alpha", "0.5"], "1\n2\n3\n4\n5\n6\n", 2, "alpha = 0.5"),
                ("an unknown format", ["--format", "xml"], "1\n", 3, "xml"),
            ]
            for what, args, stdin, code, message in cases:
                with self.subTest(what):
                    done = run(args, stdin)
                    self.assertEqual(done.returncode, code, done.stderr)
                    self.assertIn(message, done.stderr)
                    self.assertEqual(done.stdout, "")

    def test_a_flat_series_with_a_spike(self):
        # Identified, the adjusted series is constant: its mean reproduces it
        # exactly, and that model wins rather than a level shift at time 1.
        for model in (["--order", "0,0,0"], []):
            with self.subTest(model=model):
                done = run(model + ["--format", "json"], "5\n" * 10 + "100\n" + "5\n" * 9)
                self.assertEqual(done.returncode, 0, done.stderr)
                document = json.loads(done.stdout)
                outliers = document["outliers"]
                self.assertEqual([(o["index"], o["type"], o["effect"]) for o in outliers], [(11, "AO", 95.0)])
                self.assertIn("note: 20 tested values are fewer than 30", done.stderr)


def seeded(seed, n, period=1, phi=0.5, shift=0.0, spike=0.0):
    """AR(phi) noise around 10, a seasonal swing of its period, a level shift
    of `shift` from 2n/3 and an additive outlier of `spike` at n/3."""
    rng, e, values = random.Random(seed), 0.0, []
    for t in range(n):
        e = phi * e + rng.gauss(0.0, 1.0)
        swing = 4.0 * math.sin(2 * math.pi * t / period) if period > 1 else 0.0
        values.append(10.0 + e + swing + (shift if t >= 2 * n // 3 else 0.0) + (spike if t == n // 3 else 0.0))
    return "".join(f"{v!r}\n" for v in values)


MONTHLY = seeded(7, 72, period=12, spike=7.0)


def model_of(document):
    return document["model"]["order"], document["model"]["seasonal"]


class Model(unittest.TestCase):
    def test_which_model_each_option_set_asks_for(self):
        # (what, options, exit code, identified or not / what stderr says, order, seasonal)
        cases = [
            ("neither --order nor --seasonal: identified", [], 0, True, None, [0, 0, 0, 1]),
            ("--order auto", ["--order", "auto"], 0, True, None, [0, 0, 0, 1]),
            ("--period alone: identified under it", ["--period", "12"], 0, True, None, [None, None, None, 12]),
            ("--order auto --period 1: no season", ["--order", "auto", "--period", "1"], 0, True, None,
             [0, 0, 0, 1]),
            ("--seasonal alone: order 0,0,0", ["--seasonal", "0,1,1,12"], 0, False, [0, 0, 0], [0, 1, 1, 12]),
            ("an order given", ["--order", "1,0,0"], 0, False, [1, 0, 0], [0, 0, 0, 1]),
            ("--order auto with --seasonal", ["--order", "auto", "--seasonal", "0,1,1,12"], 3,
             "give the period alone with --period S", None, None),
            ("--period with an order", ["--order", "0,1,1", "--period", "12"], 3, "--seasonal gives the period",
             None, None),
            ("--period with --seasonal", ["--seasonal", "0,1,1,12", "--period", "12"], 3,
             "--seasonal gives the period", None, None),
            ("--period 0", ["--period", "0"], 3, "--period '0' is not a whole number from 1 to 366", None, None),
            ("--period 367", ["--period", "367"], 3, "--period '367' is not a whole number from 1 to 366", None,
             None),
            ("--period 12.5", ["--period", "12.5"], 3, "--period '12.5' is not a whole number", None, None),
            ("--period 0x10", ["--period", "0x10"], 3, "--period", None, None),
            ("--order in capitals", ["--order", "AUTO"], 3, "or auto, the model identified from the series", None,
             None),
        ]
        for what, args, code, says, order, seasonal in cases:
            with self.subTest(what):
                done = run(args + ["--format", "json"], MONTHLY)
                self.assertEqual(done.returncode, code, done.stderr)
                if code != 0:
                    self.assertIn(says, done.stderr)
                    self.assertEqual(done.stdout, "")
                    continue
                document = json.loads(done.stdout)
                self.assertEqual("identification" in document, says)
                got_order, got_seasonal = model_of(document)
                if says:  # the model is the identification's
                    identified = document["identification"]
                    self.assertEqual((got_order, got_seasonal), (identified["order"], identified["seasonal"]))
                    self.assertEqual(got_seasonal[3], seasonal[3])
                    self.assertEqual([c["seasonal"][3] for c in identified["candidates"]],
                                     [seasonal[3]] * len(identified["candidates"]))
                else:
                    self.assertEqual((got_order, got_seasonal), (order, seasonal))

    def test_the_identified_model_given_gives_the_same_result(self):
        # A series the outliers make look unit-rooted, whose model the
        # second identification changes, and two it does not.
        series = {
            "ar1 with a level shift": seeded(3, 90, phi=0.3, shift=12.0),
            "ar1 with a spike": seeded(11, 80, spike=8.0),
            "monthly": MONTHLY,
        }
        changed = 0
        for name, values in series.items():
            with self.subTest(series=name):
                period = ["--period", "12"] if name == "monthly" else []
                auto = run(period + ["--format", "json"], values)
                self.assertEqual(auto.returncode, 0, auto.stderr)
                document = json.loads(auto.stdout)
                identified = document["identification"]
                changed += identified["changed"]
                order, seasonal = identified["order"], identified["seasonal"]
                # The command takes no constant: the identified one must be
                # what an order given implies (a mean without differencing,
                # no drift).
                differences = order[1] + seasonal[1]
                self.assertEqual(identified["include_mean"], differences == 0)
                self.assertFalse(identified["include_drift"])
                given = ["--order", ",".join(map(str, order))]
                if seasonal[3] > 1:
                    given += ["--seasonal", ",".join(map(str, seasonal))]
                explicit = json.loads(run(given + ["--format", "json"], values).stdout)
                self.assertNotIn("identification", explicit)
                del document["identification"]
                self.assertEqual(document, explicit)

                if name == "monthly":
                    continue  # its seasonal search is the costliest under the sanitizers
                # Every format names the same model.
                name_text = "ARIMA({},{},{})".format(*order) + ("({},{},{})[{}]".format(*seasonal)
                                                               if seasonal[3] > 1 else "")
                text = run(period, values)
                self.assertTrue(text.stdout.startswith(f"Regression with {name_text} errors: "), text.stdout)
                self.assertRegex(text.stdout.splitlines()[1], r"^identified: least AICc of \d+ models tried")
                self.assertEqual("the series itself gave" in text.stdout, identified["changed"])
                table = run(period + ["--format", "csv"], values)
                self.assertIn(f"ljungcv outliers: note: {name_text} identified: least AICc", table.stderr)
                self.assertEqual(table.stdout, run(given + ["--format", "csv"], values).stdout)
        self.assertGreaterEqual(changed, 1)


if __name__ == "__main__":
    LJUNGCV = sys.argv.pop(1)
    FIXTURE = sys.argv.pop(1)
    unittest.main()
