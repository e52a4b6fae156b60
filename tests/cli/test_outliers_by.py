"""`ljungcv outliers --by`: many series of a long file give, id by id, what
the command gives on each series alone, in every format and with any number
of workers; a series that fails is reported and spoils nothing else; an id
that comes back is an error naming its line; usage errors write nothing.

Usage: test_outliers_by.py LJUNGCV [unittest options]
"""

import csv
import io
import json
import random
import subprocess
import sys
import unittest

LJUNGCV = None
OPTIONS = ["--order", "1,0,0", "--types", "AO,LS,TC"]


def run(args, stdin, options=OPTIONS):
    return subprocess.run([LJUNGCV, "outliers", *options, *args], input=stdin, capture_output=True, text=True,
                          check=False)


def ar1(seed, n):
    """A seeded AR(1) series with an additive outlier and a level shift."""
    rng, y, values = random.Random(seed), 0.0, []
    for t in range(n):
        y = 0.5 * y + rng.gauss(0.0, 1.0)
        values.append(y + (6.0 if t == n // 3 else 0.0) + (4.0 if t >= 2 * n // 3 else 0.0))
    return values


def field(text):
    return '"' + text.replace('"', '""') + '"' if any(c in text for c in ',"# ') else text


# (id, values as written): one too short for the model and one with text in
# a value among good ones, and ids that need quoting.
SERIES = [
    ("north", [repr(v) for v in ar1(1, 70)]),
    ("south, east", [repr(v) for v in ar1(2, 90)]),
    ("tiny", ["1", "2", "3"]),
    ('say "west"', [repr(v) for v in ar1(3, 60)]),
    ("typo", ["1.5", "2.5", "x7", "4.5", "5", "6", "7"]),
    ("gaps", ["" if t in (5, 40) else repr(v) for t, v in enumerate(ar1(4, 80))]),
]


def long_file(series):
    lines = ["site,date,value"]
    for name, values in series:
        lines += [f"{field(name)},d{t:03d},{v}" for t, v in enumerate(values)]
    return "\n".join(lines) + "\n"


def alone(values, fmt, options=OPTIONS):
    """The command on one series, as a file of its own."""
    return run(["--format", fmt], "date,value\n" + "".join(f"d{t:03d},{v}\n" for t, v in enumerate(values)),
               options)


class ById(unittest.TestCase):
    options = OPTIONS
    series = SERIES

    @classmethod
    def setUpClass(cls):
        cls.text = long_file(cls.series)

    def test_csv_rows_are_each_series_alone(self):
        done = run(["--by", "site", "--format", "csv"], self.text, self.options)
        self.assertEqual(done.returncode, 5, done.stderr)  # some series failed
        rows = list(csv.DictReader(io.StringIO(done.stdout)))
        self.assertEqual(list(rows[0])[0], "id")
        self.assertEqual(list(rows[0])[-2:], ["status", "message"])
        self.assertEqual(list(dict.fromkeys(r["id"] for r in rows)), [name for name, _ in self.series])
        for name, values in self.series:
            with self.subTest(series=name):
                mine = [r for r in rows if r["id"] == name]
                single = alone(values, "csv", self.options)
                if single.returncode == 0:
                    expected = list(csv.DictReader(io.StringIO(single.stdout)))
                    self.assertEqual([{k: v for k, v in r.items() if k not in ("id", "status", "message")}
                                      for r in mine], expected)
                    self.assertEqual({(r["status"], r["message"]) for r in mine}, {("0", "")})
                else:
                    self.assertEqual(len(mine), 1)
                    self.assertEqual(mine[0]["index"], "")
                    if single.returncode == 2:  # the model refused it: the same message
                        self.assertEqual(mine[0]["status"], "120836")
                        self.assertEqual(f"ljungcv outliers: {mine[0]['message']}\n", single.stderr)
                    else:  # unreadable: the long file's line
                        self.assertEqual(single.returncode, 5)
                        self.assertEqual(mine[0]["status"], "error")
                        self.assertRegex(mine[0]["message"], r"^line \d+: 'x7' is not a number")
                    self.assertIn(f"series '{name}' (lines ", done.stderr)
                    self.assertIn(mine[0]["message"], done.stderr)

    def test_json_and_text_are_each_series_alone(self):
        document = json.loads(run(["--by", "site", "--format", "json"], self.text, self.options).stdout)
        text = run(["--by", "site"], self.text, self.options).stdout
        blocks = text.split("\n== ")
        self.assertEqual(len(document), len(self.series))
        self.assertEqual(len(blocks), len(self.series))
        for (name, values), element, block in zip(self.series, document, blocks):
            with self.subTest(series=name):
                self.assertEqual(element["id"], name)
                head, body = block.removeprefix("== ").split(" ==\n", 1)
                self.assertEqual(head, name)
                single = alone(values, "json", self.options)
                if single.returncode == 0:
                    self.assertEqual((element.pop("id"), element.pop("status"), element.pop("message")),
                                     (name, 0, ""))
                    self.assertEqual(element, json.loads(single.stdout))
                    self.assertEqual(body, alone(values, "text", self.options).stdout)
                else:
                    self.assertEqual(set(element), {"id", "status", "message"})
                    self.assertIn(element["message"], body)

    def test_any_number_of_workers_writes_the_same_bytes(self):
        for fmt in ("csv", "json", "text"):
            with self.subTest(format=fmt):
                outputs = {run(["--by", "site", "--format", fmt, "--workers", w], self.text, self.options).stdout
                           for w in ("1", "2", "3", "0")}
                self.assertEqual(len(outputs), 1)

    def test_all_good_series_exit_0(self):
        good = [(name, values) for name, values in self.series if alone(values, "csv", self.options).returncode == 0]
        done = run(["--by", "site", "--format", "csv"], long_file(good), self.options)
        self.assertEqual(done.returncode, 0, done.stderr)


class ByIdIdentified(ById):
    """The same with each series' model identified on its own (the default). Identifying costs
    some sixty times as much under the sanitizers: JSON and text against each series alone, and
    the same bytes on one worker and two, stand for the rest, on the series without gaps."""
    options = ["--types", "AO,LS,TC"]
    # A series with gaps identifies some twenty times slower; ById has it under a given model.
    series = [s for s in SERIES if s[0] != "gaps"]
    test_csv_rows_are_each_series_alone = None  # JSON carries the same rows
    test_all_good_series_exit_0 = None  # the exit code does not depend on the model

    def test_any_number_of_workers_writes_the_same_bytes(self):
        outputs = {run(["--by", "site", "--format", "json", "--workers", w], self.text, self.options).stdout
                   for w in ("1", "2")}
        self.assertEqual(len(outputs), 1)

    def test_each_series_has_its_own_model(self):
        document = json.loads(run(["--by", "site", "--format", "json"], self.text, self.options).stdout)
        models = {(str(e["identification"]["order"]), str(e["identification"]["seasonal"]))
                  for e in document if e["status"] == 0}
        self.assertGreater(len(models), 1)


class Refusals(unittest.TestCase):
    def test_an_id_that_comes_back_names_its_line(self):
        series = [("a", [repr(v) for v in ar1(5, 40)]), ("b", [repr(v) for v in ar1(6, 40)]), ("a", ["1", "2"])]
        for fmt in ("csv", "json"):
            with self.subTest(format=fmt):
                done = run(["--by", "site", "--format", fmt], long_file(series))
                self.assertEqual(done.returncode, 5)
                self.assertIn("line 82: the id 'a' comes back after other ids (its rows began on line 2)",
                              done.stderr)
                if fmt == "csv":  # the series before it are written
                    ids = [r["id"] for r in csv.DictReader(io.StringIO(done.stdout))]
                    self.assertEqual(list(dict.fromkeys(ids)), ["a", "b"])
                else:  # an array without its end: no reader takes it for the whole file
                    self.assertTrue(done.stdout.startswith("[\n  {"))
                    with self.assertRaises(json.JSONDecodeError):
                        json.loads(done.stdout)

    def test_refusals_say_why_and_write_nothing(self):
        text = long_file(SERIES[:2])
        cases = [
            ("workers without --by", ["--workers", "2"], text, 3, "--workers: only with --by"),
            ("too many workers", ["--by", "site", "--workers", "257"], text, 3, "not a whole number from 0 to 256"),
            ("no such column", ["--by", "station"], text, 5, "has no column 'station'"),
            ("a level the function rejects", ["--by", "site", "--alpha", "0.5"], text, 2, "alpha = 0.5"),
            ("a decay outside (0, 1)", ["--by", "site", "--delta", "1.5"], text, 2, "delta: the temporary change"),
            ("no series", ["--by", "site"], "site,value\n", 5, "standard input holds no series"),
            ("the id column twice", ["--by", "site"], "site,site,value\n", 5, "names the id column 'site' twice"),
        ]
        for what, args, stdin, code, message in cases:
            with self.subTest(what):
                done = run(args, stdin)
                self.assertEqual(done.returncode, code, done.stderr)
                self.assertIn(message, done.stderr)
                self.assertEqual(done.stdout, "")

    def test_control_bytes_in_ids_are_escaped_in_messages_and_text(self):
        name = "bad\x1b[2Jid"
        done = run(["--by", "site"], long_file([(name, ["1", "2", "3"])]))
        self.assertEqual(done.returncode, 5)
        self.assertNotIn("\x1b", done.stderr + done.stdout)
        self.assertIn("series 'bad\\x1b[2Jid'", done.stderr)
        self.assertTrue(done.stdout.startswith("== bad\\x1b[2Jid ==\n"))


if __name__ == "__main__":
    LJUNGCV = sys.argv.pop(1)
    unittest.main()
