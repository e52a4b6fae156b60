"""The ljungcv command as a user runs it: values, lists, formats, batch
evaluation, errors and exit codes.

Usage: test_cli.py LJUNGCV [unittest options]
"""

import csv
import io
import json
import os
import subprocess
import sys
import tempfile
import unittest

LJUNGCV = None

EXIT_VALUE, EXIT_NO_RESULT, EXIT_INVALID, EXIT_USAGE, EXIT_LOAD, EXIT_BAD_INPUT = 0, 1, 2, 3, 4, 5

# The corrected method's published table: n, then alpha = 0.05, 0.01, 0.1.
CORRECTED_TABLE = [
    (1, "1.959963982", "2.575829301", "1.644853628"),
    (2, "2.236476646", "2.806225284", "1.948821860"),
    (3, "2.444906166", "2.969576348", "2.177415293"),
    (5, "2.745473781", "3.291717402", "2.480257629"),
    (10, "3.087110345", "3.659623322", "2.823938539"),
    (20, "3.357541708", "3.935091378", "3.100866298"),
    (50, "3.638343977", "4.196712584", "3.395971122"),
    (100, "3.810087572", "4.340470269", "3.581494389"),
    (150, "3.898372611", "4.408550675", "3.678664134"),
    (200, "3.956458293", "4.450932001", "3.743341764"),
    (500, "4.120567234", "4.559096955", "3.929658097"),
    (1000, "4.227482630", "4.619177929", "4.054257099"),
    (10000, "4.508650551", "4.728675354", "4.396945491"),
]


def run(*args, stdin=None):
    return subprocess.run([LJUNGCV, *args], input=stdin, capture_output=True, text=True, check=False)


class QuickForm(unittest.TestCase):
    def test_values_and_exit_codes(self):
        cases = [
            (["100", "0.05", "L"], EXIT_VALUE, "3.810087572\n", ""),
            (["10", "0.05"], EXIT_VALUE, "3.087110345\n", ""),
            (["10", "0.05", "corrected"], EXIT_VALUE, "3.087110345\n", ""),
            (["1", "0.05", "ljung"], EXIT_NO_RESULT, "", "asymptotic method needs at least 2 observations"),
            (["0", "0.05"], EXIT_NO_RESULT, "", "at least 1 observation"),
            (["10", "0"], EXIT_NO_RESULT, "", "alpha = 0"),
            (["100", "0.2"], EXIT_INVALID, "", "argument 2 (alpha = 0.2) rejected"),
            (["100", "-0.01"], EXIT_INVALID, "", "argument 2"),
            (["10", "0.05", "X"], EXIT_INVALID, "", "argument 3 (method = 'X') rejected"),
            (["-1", "0.05"], EXIT_NO_RESULT, "", "no value for n = -1"),
            (["--", "-2147483648", "0.05"], EXIT_NO_RESULT, "", "a series needs at least 1 observation"),
            (["10", "0.05", " Ljung "], EXIT_VALUE, "3.403811528\n", ""),
            (["abc", "0.05"], EXIT_USAGE, "", "'abc' is not a number"),
            (["10"], EXIT_USAGE, "", "give N and ALPHA"),
            # A word that is no number where N goes is a subcommand, mistyped when near one.
            (["tabel"], EXIT_USAGE, "", "unknown subcommand 'tabel'; did you mean 'table'?"),
            (["tabel", "0.05"], EXIT_USAGE, "", "unknown subcommand 'tabel'; did you mean 'table'?"),
            (["--exact", "--module", "m.so", "plto", "-o", "x.svg"], EXIT_USAGE, "", "'plto'; did you mean 'plot'?"),
            (["--", "limts"], EXIT_USAGE, "", "'limts'; did you mean 'limits'?"),
            (["abc"], EXIT_USAGE, "", "'abc' is neither a subcommand (table, eval, limits, reach, outliers, info, plot) nor a number N"),
        ]
        for args, code, out, err in cases:
            with self.subTest(args=args):
                result = run(*args)
                self.assertEqual(result.returncode, code, result.stderr)
                self.assertEqual(result.stdout, out)
                self.assertIn(err, result.stderr)
                if err:
                    self.assertEqual(result.stderr.count("\n"), 1, "errors take one line")

    def test_digits_and_exact(self):
        self.assertEqual(run("--digits", "3", "10", "0.05").stdout, "3.087\n")
        exact = run("--exact", "100", "0.05", "L").stdout.strip()
        self.assertEqual(repr(float(exact)), exact)
        self.assertAlmostEqual(float(exact), 3.810087572, places=9)


def parse_text_table(text):
    """The rows of the first block of a text table: header cells, then rows."""
    lines = [line for line in text.splitlines() if line.strip()]
    header = lines[1].split()
    rows = []
    for line in lines[2:]:
        if line.startswith("LJUNGCV") or line.startswith("n/a:"):
            break
        rows.append(line.split())
    return header, rows


class Table(unittest.TestCase):
    def test_default_table_is_the_corrected_table(self):
        result = run("table")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("corrected method (C)", result.stdout)
        header, rows = parse_text_table(result.stdout)
        self.assertEqual(header, ["n", "alpha", "0.05", "alpha", "0.01", "alpha", "0.1"])
        self.assertEqual([tuple([int(r[0])] + r[1:]) for r in rows], CORRECTED_TABLE)

    def test_columns_are_aligned(self):
        lines = [line for line in run("table").stdout.splitlines()[2:] if line.strip()]
        self.assertEqual(len({len(line) for line in lines}), 1)

    def test_both_methods_in_text_are_one_table_side_by_side(self):
        args = ["table", "--n", "1,10,1000000", "--alpha", "0.05,0.01"]
        text = run(*args, "--method", "both").stdout
        self.assertEqual(text.count("LJUNGCV critical values"), 1)
        lines = text.split("\n\n")[1].splitlines()  # method titles, column headers, rows
        self.assertEqual(len({line.index("|") for line in lines}), 1, "the methods' columns line up")
        self.assertEqual([part.strip() for part in lines[0].split("|")], ["corrected method (C)", "asymptotic method (L)"])
        # Each side is that method's own table, cell for cell.
        for side, method in ((0, "C"), (1, "L")):
            header, rows = parse_text_table(run(*args, "--method", method).stdout)
            cells = [line.split("|")[side].split() for line in lines[1:]]
            self.assertEqual([row[1:] if side == 0 else row for row in cells[1:]],
                             [row[1:] for row in rows[:3]], method)
            self.assertEqual(cells[0][-4:], header[-4:])
        self.assertIn("n/a: no value exists", text)
        self.assertEqual(text.count("*: outside the curve's sensible range"), 1)

    def test_lists_and_ranges(self):
        cases = [
            ("1:3,5", [1, 2, 3, 5]),
            ("1:10:3", [1, 4, 7, 10]),
            ("1:20,50,100:1000:100", list(range(1, 21)) + [50] + list(range(100, 1001, 100))),
            ("7", [7]),
            ("+3,4e2", [3, 400]),
        ]
        for text, expected in cases:
            with self.subTest(text=text):
                result = run("table", "--n", text, "--format", "csv", "--alpha", "0.05")
                self.assertEqual(result.returncode, 0, result.stderr)
                rows = list(csv.DictReader(io.StringIO(result.stdout)))
                self.assertEqual([float(r["n"]) for r in rows], expected)

    def test_level_range_has_no_accumulated_rounding(self):
        result = run("table", "--n", "10", "--alpha", "0.01:0.1:0.01", "--format", "csv")
        levels = [r["alpha"] for r in csv.DictReader(io.StringIO(result.stdout))]
        self.assertEqual(len(levels), 10)
        self.assertEqual(levels[0], "0.01")
        self.assertEqual(levels[-1], "0.1")

    def test_bad_lists_are_usage_errors(self):
        cases = [
            ("", "empty item"),
            ("1,,2", "empty item"),
            ("5:1", "ends before it starts"),
            ("1:5:0", "positive step"),
            ("1:5:-1", "positive step"),
            ("a", "'a' in 'a' is not a finite number"),
            ("1:2:3:4", "more than FIRST:LAST:STEP"),
            ("1:inf", "not a finite number"),
            ("1:1e9", "too many values"),
        ]
        for text, message in cases:
            with self.subTest(text=text):
                result = run("table", "--n", text)
                self.assertEqual(result.returncode, EXIT_USAGE)
                self.assertIn(message, result.stderr)
                self.assertEqual(result.stdout, "")

    def test_bad_options_are_usage_errors(self):
        for args in (["--method", "X"], ["--format", "xml"], ["--digits", "40"], ["--bogus"]):
            with self.subTest(args=args):
                result = run("table", *args)
                self.assertEqual(result.returncode, EXIT_USAGE)
                self.assertEqual(result.stderr.count("\n"), 1)

    def test_cells_without_value_are_plain(self):
        text = run("table", "--n", "1,2", "--alpha", "0,0.05", "--method", "L").stdout
        _, rows = parse_text_table(text)
        self.assertEqual(rows[0], ["1", "n/a", "n/a"])
        self.assertEqual(rows[1][1], "n/a")
        self.assertIn("n/a: no value", text)

    def test_csv_and_json_agree_exactly(self):
        args = ["table", "--n", "1:30,100,1e6", "--alpha", "0,0.001,0.05,0.1", "--method", "both"]
        csv_rows = list(csv.DictReader(io.StringIO(run(*args, "--format", "csv").stdout)))
        document = json.loads(run(*args, "--format", "json").stdout)
        self.assertEqual(document["function"], "LJUNGCV")
        json_rows = document["rows"]
        self.assertEqual(len(csv_rows), 32 * 4 * 2)
        self.assertEqual(len(json_rows), len(csv_rows))
        for c, j in zip(csv_rows, json_rows):
            self.assertEqual(float(c["n"]), j["n"])
            self.assertEqual(float(c["alpha"]), j["alpha"])
            self.assertEqual(c["method"], j["method"])
            self.assertEqual(int(c["status"]), j["status"])
            if j["value"] is None:
                self.assertEqual(c["value"], "")
                self.assertNotEqual(j["status"], 0)
            else:
                self.assertEqual(float(c["value"]), j["value"])
                self.assertEqual(repr(float(c["value"])), c["value"])

    def test_text_rounds_the_exact_values(self):
        csv_rows = list(csv.DictReader(io.StringIO(run("table", "--format", "csv").stdout)))
        self.assertEqual(len(csv_rows), 39)
        by_cell = {(int(float(r["n"])), r["alpha"]): float(r["value"]) for r in csv_rows}
        for n, *values in CORRECTED_TABLE:
            for alpha, text in zip(("0.05", "0.01", "0.1"), values):
                self.assertEqual(f"{by_cell[(n, alpha)]:.9f}", text)


class Eval(unittest.TestCase):
    def test_rows_in_input_order_with_exact_values(self):
        lines = ["# a comment", "", "10 0.05", "100,0.01,L", "  1 , 0.05 , ljung  ", "5\t0.2", "3 0.05 C\r"]
        result = run("eval", stdin="\n".join(lines) + "\n")
        self.assertEqual(result.returncode, 0, result.stderr)
        rows = list(csv.reader(io.StringIO(result.stdout)))
        self.assertEqual(rows[0], ["n", "alpha", "method", "value", "status", "turned_down"])
        self.assertEqual([r[:3] for r in rows[1:]],
                         [["10", "0.05", "C"], ["100", "0.01", "L"], ["1", "0.05", "L"], ["5", "0.2", "C"],
                          ["3", "0.05", "C"]])
        self.assertEqual([r[4] for r in rows[1:]], ["0", "0", "120833", "120836", "0"])
        self.assertEqual(rows[3][3], "")
        for row in (rows[1], rows[2], rows[5]):
            self.assertEqual(repr(float(row[3])), row[3])
        quick = run("--exact", "10", "0.05").stdout.strip()
        self.assertEqual(rows[1][3], quick)

    def test_bad_lines_get_error_rows_and_messages(self):
        lines = ["10 0.05", "abc 0.05", "1 2 3 4", "7", "10 x", "20 0.01"]
        result = run("eval", stdin="\n".join(lines))  # no final end of line
        self.assertEqual(result.returncode, EXIT_BAD_INPUT)
        rows = list(csv.reader(io.StringIO(result.stdout)))
        self.assertEqual(len(rows), 1 + len(lines))
        self.assertTrue(all(len(row) == 6 for row in rows))
        self.assertEqual([r[4] for r in rows[1:]], ["0", "error", "error", "error", "error", "0"])
        errors = result.stderr.splitlines()
        self.assertEqual(len(errors), 4)
        for line_number, message in zip((2, 3, 4, 5), errors):
            self.assertIn(f"line {line_number}:", message)
        self.assertIn("'abc' is not a number", errors[0])
        self.assertIn("found 4 fields", errors[1])

    def test_file_and_stdin_agree(self):
        text = "".join(f"{n} {a}\n" for n in range(1, 60) for a in ("0.01", "0.05"))
        with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as f:
            f.write(text)
        try:
            from_file = run("eval", f.name)
            from_stdin = run("eval", "-", stdin=text)
            self.assertEqual(from_file.returncode, 0)
            self.assertEqual(from_file.stdout, from_stdin.stdout)
        finally:
            os.unlink(f.name)

    def test_missing_file(self):
        result = run("eval", "/nonexistent/input.txt")
        self.assertEqual(result.returncode, EXIT_BAD_INPUT)
        self.assertIn("cannot read '/nonexistent/input.txt'", result.stderr)

    def test_long_input_streams(self):
        # Longer than the reader's block, with lines split across blocks.
        count = 150_000
        text = "".join(f"{1 + i % 5000} 0.0{1 + i % 9} {'L' if i % 3 else 'C'}\n" for i in range(count))
        result = run("eval", stdin=text)
        self.assertEqual(result.returncode, 0, result.stderr[:200])
        rows = result.stdout.splitlines()
        self.assertEqual(len(rows), count + 1)
        for i in (0, 1, 77_777, count - 1):
            fields = rows[1 + i].split(",")
            self.assertEqual(fields[0], str(1 + i % 5000))


class InputsPeopleHave(unittest.TestCase):
    """eval reads CSV as spreadsheets and programs write it, and bare counts."""

    def test_csv_shapes_headers_comments_and_defaults(self):
        # (input, options, expected rows as (n, alpha, method, status, turned_down))
        cases = [
            ('10,0.05,"C"\n"10","0.05","L"\n', [], [("10", "0.05", "C", "0", "0"), ("10", "0.05", "L", "0", "0")]),
            ("\ufeffN,alpha,method\r\n10,0.05,corr\r\n", [], [("10", "0.05", "C", "0", "0")]),
            ("10 0.05 # note\n# whole line\n", [], [("10", "0.05", "C", "0", "0")]),
            ("10\n7 0.01\n", ["--alpha", "0.05"], [("10", "0.05", "C", "0", "0"), ("7", "0.01", "C", "0", "0")]),
            ("10\n10 0.05 C\n", ["--alpha", "0.05", "--method", "ljung"],
             [("10", "0.05", "L", "0", "0"), ("10", "0.05", "C", "0", "0")]),
            ("1000000 0.001\n5 0.05 L\n1 0.05 L\n10 0.05 X\n", [],
             [("1000000", "0.001", "C", "0", "1"), ("5", "0.05", "L", "0", "1"), ("1", "0.05", "L", "120833", ""),
              ("10", "0.05", "X", "120836", "")]),
            # A # outside quotes is a comment wherever it stands.
            ("10,0.05,L#note\n10 0.05# x\n", [], [("10", "0.05", "L", "0", "0"), ("10", "0.05", "C", "0", "0")]),
            # A header names the columns: R's write.csv and pandas' to_csv write a row name or index first.
            ('"","n","alpha","method"\n"1",10,0.05,"L"\n', [], [("10", "0.05", "L", "0", "0")]),
            (",n,alpha,method\n0,10,0.05,C\n1,100,0.01,\n", ["--method", "L"],
             [("10", "0.05", "C", "0", "0"), ("100", "0.01", "L", "0", "0")]),
            ("method;x,ALPHA,N,extra\nL;1,0.05,7,9\n", [], [("7", "0.05", "C", "0", "0")]),
            ("id n\n3 10\n", ["--alpha", "0.05"], [("10", "0.05", "C", "0", "0")]),
        ]
        for text, options, expected in cases:
            with self.subTest(text=text, options=options):
                result = run("eval", *options, stdin=text)
                self.assertEqual(result.returncode, 0, result.stderr)
                rows = list(csv.reader(io.StringIO(result.stdout)))[1:]
                self.assertEqual([(r[0], r[1], r[2], r[4], r[5]) for r in rows], expected)

    def test_closed_input_and_terminal_bytes(self):
        closed = subprocess.run([LJUNGCV, "eval"], capture_output=True, text=True, check=False,
                                preexec_fn=lambda: os.close(0))
        self.assertEqual(closed.returncode, EXIT_BAD_INPUT)
        # Where closed streams are not reopened (Windows), the read itself fails.
        self.assertTrue(closed.stderr.startswith("ljungcv eval: cannot read standard input: "), closed.stderr)
        for args, stdin in ((["eval"], "10 \x1b]0;x\x07\n"), (["10", "0.05\x1b[2J"], None)):
            result = run(*args, stdin=stdin)
            self.assertNotIn("\x1b", result.stderr)
            self.assertIn("\\x1b", result.stderr)

    def test_json_lines_agree_with_csv(self):
        text = "10 0.05\n1 0.05 L\n1000000 0.001\nabc 0.05\n"
        as_csv = list(csv.DictReader(io.StringIO(run("eval", stdin=text).stdout)))
        result = run("eval", "--format", "json", stdin=text)
        self.assertEqual(result.returncode, EXIT_BAD_INPUT)
        as_json = [json.loads(line) for line in result.stdout.splitlines()]
        self.assertEqual(len(as_json), len(as_csv))
        for c, j in zip(as_csv, as_json):
            self.assertEqual(str(j["status"]), c["status"])
            self.assertEqual(j["value"], float(c["value"]) if c["value"] else None)
            self.assertEqual(j["turned_down"], {"1": True, "0": False, "": None}[c["turned_down"]])
        self.assertEqual(as_json[0]["n"], 10)
        self.assertEqual(as_json[3]["n"], "abc")
        self.assertIn("is not a number", as_json[3]["error"])

    def test_files_in_order_and_lines_too_long(self):
        with tempfile.TemporaryDirectory() as directory:
            first, second = os.path.join(directory, "a.txt"), os.path.join(directory, "b.txt")
            with open(first, "w") as f:
                f.write("1 0.05\n")
            with open(second, "w") as f:
                f.write("2 0.05\n" + "9" * (1 << 20) + " 0.05\n3 0.05\n")
            result = run("eval", first, "-", second, stdin="n alpha\n4 0.05\n")
            self.assertEqual(result.returncode, EXIT_BAD_INPUT)
            rows = list(csv.reader(io.StringIO(result.stdout)))[1:]
            self.assertEqual([(r[0], r[4]) for r in rows], [("1", "0"), ("4", "0"), ("2", "0"), ("", "error"), ("3", "0")])
            self.assertEqual(result.stderr, f"ljungcv eval: {second}, line 2: longer than 1048576 bytes\n")
            missing = run("eval", first, os.path.join(directory, "none.txt"))
            self.assertEqual(missing.returncode, EXIT_BAD_INPUT)
            self.assertIn("none.txt': No such file or directory", missing.stderr)


class TablesForReports(unittest.TestCase):
    def test_counts_are_integers_and_bad_counts_or_levels_are_refused(self):
        rows = list(csv.DictReader(io.StringIO(run("table", "--n", "100000,1e6", "--format", "csv").stdout)))
        self.assertEqual([r["n"] for r in rows[::3]], ["100000", "1000000"])
        document = json.loads(run("table", "--n", "10", "--alpha", "0.05", "--format", "json").stdout)
        self.assertEqual(json.dumps(document["rows"][0]["n"]), "10")
        cases = [
            (["--n", "2.5"], EXIT_USAGE, "ljungcv table: n = 2.5 is not a whole number of observations"),
            (["--alpha", "0.2"], EXIT_INVALID, "ljungcv table: argument 2 (alpha = 0.2) rejected"),
            (["--alpha", "0.05,-0.01"], EXIT_INVALID, "argument 2 (alpha = -0.01) rejected"),
            (["--format", "csv", "--digits", "3"], EXIT_USAGE, "--digits applies to the text, markdown and latex"),
            (["--method", "X"], EXIT_USAGE, "method 'X' is not C, CORR"),
            (["--alpha", "0:0.1:1e-4"], EXIT_USAGE, "1001 levels are more columns than a text table should have"),
        ]
        for args, code, message in cases:
            with self.subTest(args=args):
                result = run("table", *args)
                self.assertEqual((result.returncode, result.stdout), (code, ""))
                self.assertIn(message, result.stderr)

    def test_formats_digits_and_marks(self):
        args = ["table", "--n", "100,1000000", "--alpha", "0.001,0.05"]
        cases = [
            ([], ["alpha 0.001", "  5.099186542 ", "4.340684195*", "\n*: outside the curve's sensible range"]),
            (["--digits", "3"], ["  5.099 ", "4.341*"]),
            (["--exact", "--method", "ljung"], ["asymptotic method (L)", "  5.099186541693349  ", "6.343864641405742"]),
            (["--format", "markdown"], ["| n | α = 0.001 | α = 0.05 |", "|--:|--:|--:|", "| 1000000 | 4.340684195\\* |",
                                        "\\* outside"]),
            (["--format", "latex", "--digits", "2"], ["\\begin{tabular}{rrr}", "\\toprule", "$\\alpha = 0.001$",
                                                      "100 & 5.10 & 3.81 \\\\", "4.34$^{*}$", "\\bottomrule"]),
        ]
        for options, texts in cases:
            with self.subTest(options=options):
                result = run(*args, *options)
                self.assertEqual(result.returncode, 0, result.stderr)
                for text in texts:
                    self.assertIn(text, result.stdout)
        both = run("table", "--method", "Both", "--n", "2", "--alpha", "0.05", "--format", "csv").stdout
        self.assertEqual([r["method"] for r in csv.DictReader(io.StringIO(both))], ["C", "L"])


class Limits(unittest.TestCase):
    def test_where_each_curve_holds(self):
        result = run("limits")
        self.assertEqual(result.returncode, 0, result.stderr)
        holds = {}
        for line in result.stdout.splitlines()[1:]:
            method, alpha, first, last, what = line.split(None, 4)
            if what == "holds":
                holds.setdefault((method, alpha), []).append((int(first), int(last)))
        self.assertEqual(holds[("C", "0.05")], [(1, 337413)])
        self.assertEqual(holds[("C", "0.001")], [(1, 461)])
        self.assertEqual(holds[("C", "1e-06")], [(1, 2), (4, 80)])
        self.assertEqual(holds[("L", "0.05")], [(2, 2), (8, 2147483647)])
        quick = run("462", "0.001")
        self.assertEqual(quick.returncode, 0)
        self.assertRegex(quick.stderr, r"^ljungcv: note: the corrected method \(C\) at n = 462, alpha = 0.001 is outside "
                                       r"its curve's sensible range \(it is below the value for n - 1 observations\)")
        self.assertEqual(run("461", "0.001").stderr, "")


class ModuleAndHelp(unittest.TestCase):
    def test_info_lists_records_and_functions(self):
        result = run("info")
        self.assertEqual(result.returncode, 0, result.stderr)
        for text in ("ZMT_Image_Information=", "0xB0BDEBED", "image code      8", "module          cvmodule",
                     "LJUNGCV  2 to 3 arguments", "ZMT_VERSION_HOTFIX_NUMBER="):
            self.assertIn(text, result.stdout)

    def test_module_option_errors(self):
        with tempfile.TemporaryDirectory() as directory:
            missing = os.path.join(directory, "absent.so")
            not_a_library = os.path.join(directory, "text.so")
            with open(not_a_library, "w") as f:
                f.write("not a library\n")
            for path in (missing, not_a_library):
                for args in (["10", "0.05"], ["table"], ["info"], ["eval"]):
                    with self.subTest(path=path, args=args):
                        result = run("--module", path, *args, stdin="")
                        self.assertEqual(result.returncode, EXIT_LOAD)
                        self.assertIn(f"cannot load module '{path}'", result.stderr)
                        self.assertEqual(result.stderr.count("\n"), 1)

    def test_help_and_version(self):
        for args in ([], ["table"], ["eval"], ["info"]):
            with self.subTest(args=args):
                result = run(*args, "--help")
                self.assertEqual(result.returncode, 0)
                self.assertIn("Example", result.stdout)
        self.assertIn("Exit codes", run("--help").stdout)
        version = run("--version")
        self.assertEqual(version.returncode, 0)
        self.assertRegex(version.stdout, r"^ljungcv \d+\.\d+\.\d+\n$")


def eval_rows(result):
    """(n, alpha, method, value, status) of each row of eval's CSV output."""
    return [tuple(r[:5]) for r in list(csv.reader(io.StringIO(result.stdout)))[1:]]


class ReaderAndHeaderRules(unittest.TestCase):
    """Every line of eval's input is read whole, and is a header, data or an error row."""

    C10 = ("10", "0.05", "C", "3.087110344600084", "0")
    L10 = ("10", "0.05", "L", "3.4038115277368", "0")
    ERROR = ("", "", "", "", "error")

    def test_records_headers_and_error_rows(self):
        wide = ",".join(f"x{i}" for i in range(14)) + ",n,alpha,method\n" + "0," * 14 + "10,0.05,L\n"
        # (input, options, rows, exit code, the messages on stderr, in order)
        cases = [
            # Reader: every field, CR-only line ends, quoted line breaks.
            (wide, [], [self.L10], EXIT_VALUE, []),
            ("n,alpha\r10,0.05\r\r10,0.05\r", [], [self.C10, self.C10], EXIT_VALUE, []),
            ('n,note,alpha\n10,"two\nlines",0.05\n10,x,0.05\n', [], [self.C10, self.C10], EXIT_VALUE, []),
            ('n,alpha,method\n10,0.05,"L\n"\n', [], [("10", "0.05", "L\n", "", "120836")], EXIT_VALUE, []),
            ('10 0.05\n"10\n', [], [self.C10, self.ERROR], EXIT_BAD_INPUT, ["line 2: a quoted field is not closed"]),
            # A data line has the header's number of fields.
            ("n,alpha,method\n10,0.05\n10,0.05,L\n", [], [("", "", "", "", "error"), self.L10], EXIT_BAD_INPUT,
             ["line 2: found 2 fields where the header has 3"]),
            ("n\talpha\n10\t0,05\n", [], [self.ERROR], EXIT_BAD_INPUT, ["line 2: a comma between digits", "decimal commas"]),
            # Header rules: a column twice, no alpha, a first line that is neither.
            ("n,n,alpha\n10,20,0.05\n30,40,0.01\n", [], [self.ERROR] * 3, EXIT_BAD_INPUT,
             ["line 1: the header names column n twice (fields 1 and 2)",
              "lines 2-3: not evaluated, because the header on line 1 is in error"]),
            ("N,alpha,Alpha\n10,0.05,0.01\n", [], [self.ERROR] * 2, EXIT_BAD_INPUT,
             ["line 1: the header names column alpha twice (fields 2 and 3)", "line 2: not evaluated"]),
            ("x,n\n1,10\n", [], [self.ERROR] * 2, EXIT_BAD_INPUT,
             ["line 1: the header names no alpha column", "--alpha", "line 2: not evaluated"]),
            ("x,n\n1,10\n", ["--alpha", "0.05"], [self.C10], EXIT_VALUE, []),
            ("10,0.05,n\n10,0.05\n", [], [self.ERROR, self.C10], EXIT_BAD_INPUT,
             ["line 1: neither a header nor data: it has a field n and the number '10'"]),
            ("alpha,method\n10,0.05,L\n", [], [self.ERROR, self.L10], EXIT_BAD_INPUT,
             ["line 1: a header needs a column n"]),
            # A header eval does not know, and a separator it does not read, are named as such.
            ("series,length,level\ns1,10,0.05\ns2,10,0.05\n", [], [self.ERROR] * 3, EXIT_BAD_INPUT,
             ["line 1: unknown header 'series,length,level': eval reads the columns n, alpha and method",
              "lines 2-3: not evaluated, because the header on line 1 is in error"]),
            ("n;alpha\n10;0.05\n", [], [self.ERROR] * 2, EXIT_BAD_INPUT,
             ["line 1: fields are separated by commas or blanks, not by semicolons: 'n;alpha' is one field",
              "line 2: fields are separated by commas or blanks, not by semicolons: '10;0.05' is one field"]),
            ("n\talpha\n10\t0.05\n", [], [self.C10], EXIT_VALUE, []),
            # Numbers: a fraction of an observation and a number out of range are error rows.
            ("10.5 0.05\n10 1e400\n10 0.05\n", [], [("10.5", "0.05", "", "", "error"), ("10", "1e400", "", "", "error"),
                                                    self.C10], EXIT_BAD_INPUT,
             ["line 1: n = 10.5 is not a whole number of observations", "line 2: '1e400' is out of range"]),
        ]
        for text, options, rows, code, messages in cases:
            with self.subTest(text=text, options=options):
                result = run("eval", *options, stdin=text)
                self.assertEqual(result.returncode, code, result.stderr)
                self.assertEqual(eval_rows(result), rows)
                errors = result.stderr.splitlines()
                position = 0
                for message in messages:
                    found = [i for i, line in enumerate(errors) if message in line and i >= position]
                    self.assertTrue(found, f"{message!r} not in {errors}")
                    position = found[0]
                self.assertEqual(len(errors), len({m.split(":")[0] for m in messages if m.startswith("line")}))

    def test_a_file_that_cannot_be_opened_writes_nothing(self):
        for args in (["eval", "/nonexistent/a.csv"], ["eval", "--format", "json", "/nonexistent/a.csv", "-"]):
            with self.subTest(args=args):
                result = run(*args, stdin="10 0.05\n")
                self.assertEqual((result.returncode, result.stdout), (EXIT_BAD_INPUT, ""))


class Reach(unittest.TestCase):
    """reach: the count n at which each curve first reaches a threshold, against eval's values there."""

    def test_each_crossing_is_where_evals_values_pass_the_threshold(self):
        result = run("reach", "2.5,3.5,4.5", "--method", "both", "--alpha", "0.1,0.05,0.01,0.001", "--format", "csv")
        self.assertEqual(result.returncode, EXIT_VALUE, result.stderr)
        rows = [row for row in csv.DictReader(io.StringIO(result.stdout)) if row["reach"] == "crosses"]
        self.assertGreaterEqual(len(rows), 15)
        lines = "".join(f"{int(row['n']) - k} {row['alpha']} {row['method']}\n" for row in rows for k in (1, 0))
        evaluated = list(csv.DictReader(io.StringIO(run("eval", stdin=lines).stdout)))
        for row, before, at in zip(rows, evaluated[0::2], evaluated[1::2]):
            with self.subTest(row=row):
                self.assertEqual((at["value"], before["value"]), (row["value"], row["value_before"]))
                self.assertLess(float(before["value"]), float(row["threshold"]))
                self.assertGreaterEqual(float(at["value"]), float(row["threshold"]))
                self.assertEqual((before["turned_down"], at["turned_down"]), ("0", "0"))  # both where it holds

    def test_text_shows_the_answers_and_a_note_where_there_is_no_crossing(self):
        text = run("reach", "3.5,6", "--method", "C", "--alpha", "0.05,0.001").stdout
        lines = text.splitlines()
        self.assertEqual(lines[0].split(), ["threshold", "method", "alpha", "n", "value", "at", "n", "at", "n", "-", "1"])
        self.assertEqual(lines[1].split(), ["3.5", "C", "0.05", "31", "3.500870422", "3.490764717"])
        self.assertEqual(lines[4].split(), ["6", "C", "0.001", "never", "n/a", "n/a"])
        self.assertIn("the corrected method (C) at alpha = 0.001 stays below 6 wherever it holds (at most 5.180240818 "
                      "at n = 461)", text)
        self.assertEqual(text.count("stays below 6"), 2)

    def test_refusals(self):
        cases = [
            (["reach", "3.5", "--alpha", "0.2"], EXIT_INVALID, "argument 2 (alpha = 0.2) rejected"),
            (["reach", "nan"], EXIT_USAGE, "'nan' in 'nan' is not a finite number"),
            (["reach", "3.5", "--format", "markdown"], EXIT_USAGE, "format 'markdown' is not text, csv or json"),
            (["reach", "3.5", "--method", "X"], EXIT_USAGE, "method 'X' is not"),
            (["reach"], EXIT_USAGE, "THRESHOLD is required"),
            (["reach", "1:2000:1"], EXIT_USAGE, "more than 1000 look-ups"),
        ]
        for args, code, message in cases:
            with self.subTest(args=args):
                result = run(*args)
                self.assertEqual((result.returncode, result.stdout), (code, ""), result.stderr)
                self.assertIn(message, result.stderr)


class OneRuleForNumbers(unittest.TestCase):
    """The quick form, eval and table read numbers and refuse a fractional n alike."""

    def test_numbers_as_typed(self):
        fraction = "n = 10.5 is not a whole number of observations"
        # (quick form's words, exit code, stdout or a piece of stderr)
        cases = [
            (["10", "-.5"], EXIT_INVALID, "argument 2 (alpha = -0.5) rejected"),
            (["10", "-inf"], EXIT_INVALID, "argument 2 (alpha = -inf) rejected"),
            (["-.5", "0.05"], EXIT_USAGE, "n = -0.5 is not a whole number of observations"),
            (["--exact", "10", "-0", "L"], EXIT_NO_RESULT, "alpha = -0"),
            (["10", "-.5", "--digits", "2"], EXIT_INVALID, "argument 2 (alpha = -0.5) rejected"),
            (["1e400", "0.05"], EXIT_USAGE, "N '1e400' is out of range"),
            (["10", "-1e400"], EXIT_USAGE, "ALPHA '-1e400' is out of range"),
            (["10", "1e-400"], EXIT_USAGE, "ALPHA '1e-400' is out of range"),
            (["10.5", "0.05"], EXIT_USAGE, fraction),
            (["10", "-x"], EXIT_USAGE, "-x"),
        ]
        for args, code, text in cases:
            with self.subTest(args=args):
                result = run(*args)
                self.assertEqual((result.returncode, result.stdout), (code, ""), result.stderr)
                self.assertIn(text, result.stderr)
                self.assertEqual(result.stderr.count("\n"), 1)
        message = lambda result: result.stderr.split(": ", 1)[1]
        quick = run("10.5", "0.05")
        table = run("table", "--n", "10.5")
        evaluated = run("eval", stdin="10.5 0.05\n")
        self.assertEqual((table.returncode, evaluated.returncode), (EXIT_USAGE, EXIT_BAD_INPUT))
        self.assertEqual(message(quick), message(table))
        self.assertEqual(message(evaluated), "line 1: " + message(quick))
        self.assertIn("'1e400' in '1e400' is out of range", run("table", "--alpha", "1e400").stderr)

    # Every option that takes a number, as a command line with {} where the number goes.
    NUMBER_OPTIONS = [
        ["{}", "0.05"], ["10", "{}"], ["--digits", "{}", "10", "0.05"],
        ["table", "--digits", "{}"], ["table", "--n", "{}"], ["table", "--alpha", "{}"],
        ["limits", "--alpha", "{}"], ["eval", "--alpha", "{}"],
        ["plot", "-o", "x.svg", "--n", "{},100"], ["plot", "-o", "x.svg", "--n", "1:{}"],
        ["plot", "-o", "x.svg", "--alpha", "{}"],
        ["plot", "-o", "x.svg", "--width", "{}"], ["plot", "-o", "x.svg", "--height", "{}"],
        ["plot", "-o", "x.svg", "--font-size", "{}"], ["plot", "-o", "x.svg", "--timeout", "{}"],
    ]

    def test_every_option_reads_decimal_numbers_alone(self):
        for typed, reason in (("0x10", "numbers are read in decimal only"), ("0x1p2", "decimal only"),
                              (" 5", "blanks around a number are not read"), ("5 ", "blanks around")):
            for words in self.NUMBER_OPTIONS:
                args = [word.format(typed) for word in words]
                with self.subTest(args=args):
                    result = run(*args, stdin="")
                    self.assertEqual(result.returncode, EXIT_USAGE, result.stderr)
                    self.assertIn(f"'{typed}'", result.stderr)
                    self.assertIn(reason, result.stderr)
                    self.assertEqual(result.stderr.count("\n"), 1, result.stderr)

    def test_leading_zeros_and_exponents_are_decimal(self):
        ten = run("--exact", "10", "0.05").stdout
        self.assertEqual(run("--exact", "010", "0.05").stdout, ten)
        self.assertEqual(run("table", "--n", "010", "--format", "csv").stdout,
                         run("table", "--n", "10", "--format", "csv").stdout)
        for digits in ("010", "1e1", "10.0"):  # ten decimals, however ten is written
            with self.subTest(digits=digits):
                self.assertEqual(run("--digits", digits, "10", "0.05").stdout, "3.0871103446\n")

    def test_an_option_out_of_its_range_says_which_numbers_it_takes(self):
        cases = [
            (["--digits", "2.5", "10", "0.05"], "ljungcv: --digits '2.5' is not a whole number from 0 to 17"),
            (["table", "--digits", "18"], "ljungcv table: --digits '18' is not a whole number from 0 to 17"),
            (["plot", "-o", "x.svg", "--width", "1e5"],
             "ljungcv plot: --width '1e5' is not a whole number of pixels from 200 to 10000"),
            (["plot", "-o", "x.svg", "--font-size", "inf"],
             "ljungcv plot: --font-size 'inf' is not a whole number of points from 4 to 72"),
            (["plot", "-o", "x.svg", "--timeout", "0"],
             "ljungcv plot: --timeout '0' is not a number of seconds from 0.001 to 86400"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                result = run(*args)
                self.assertEqual((result.returncode, result.stderr), (EXIT_USAGE, message + "\n"))


class FormatsAndOptions(unittest.TestCase):
    """The formats each command names in its help are the ones it takes, and one check says no."""

    def test_formats_named_in_help_are_taken(self):
        import re
        for command, option in (("table", "--format"), ("eval", "--format")):
            with self.subTest(command=command):
                help_text = run(command, "--help").stdout
                line = next(l for l in help_text.splitlines() if l.strip().startswith(option))
                description = re.split(r"\s{2,}", line.strip())[-1].split(" (")[0]
                names = re.split(r", | or ", description)
                self.assertGreaterEqual(len(names), 2, line)
                for name in names:
                    self.assertEqual(run(command, "--format", name, "--n", "10", stdin="10 0.05\n").returncode
                                     if command == "table" else
                                     run(command, "--format", name, stdin="10 0.05\n").returncode, EXIT_VALUE, name)
                refused = run(command, "--format", "svg", stdin="")
                self.assertEqual(refused.returncode, EXIT_USAGE)
                self.assertIn("format 'svg' is not " + ", ".join(names[:-1]) + " or " + names[-1], refused.stderr)
        for command in ("table", "limits", "plot"):
            with self.subTest(command=command):
                result = run(command, "--method", "X", *(["-o", "x.svg"] if command == "plot" else []))
                self.assertEqual(result.returncode, EXIT_USAGE)
                self.assertIn(f"ljungcv {command}: method 'X' is not C, CORR", result.stderr)


if __name__ == "__main__":
    LJUNGCV = sys.argv.pop(1)
    unittest.main()
