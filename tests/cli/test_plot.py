"""ljungcv plot as a user runs it: the pictures it writes (SVG, PNG, PDF),
the values behind them, gaps where a method has no value, and errors.

Usage: test_plot.py LJUNGCV [unittest options]
Drawing needs gnuplot on PATH (scripts/setup.sh installs gnuplot-nox).
"""

import csv
import io
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

LJUNGCV = None

EXIT_VALUE, EXIT_NO_RESULT, EXIT_INVALID, EXIT_USAGE, EXIT_LOAD, EXIT_BAD_INPUT = 0, 1, 2, 3, 4, 5

SVG = "{http://www.w3.org/2000/svg}"
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def run(*args, cwd=None):
    return subprocess.run([LJUNGCV, *args], capture_output=True, text=True, check=False, cwd=cwd)


class PlotCase(unittest.TestCase):
    """Each test runs in a directory of its own."""

    def setUp(self):
        self._directory = tempfile.TemporaryDirectory()
        self.directory = self._directory.name

    def tearDown(self):
        self._directory.cleanup()

    def path(self, name):
        return os.path.join(self.directory, name)

    def plot(self, *args):
        """Runs ljungcv plot, which must succeed without a message."""
        result = run("plot", *args, cwd=self.directory)
        self.assertEqual(result.returncode, EXIT_VALUE, result.stderr)
        return result

    def plot_script(self, *args):
        """Draws an SVG and returns the script's data blocks and plot elements."""
        self.plot(*args, "-o", "picture.svg", "--script", "picture.gp")
        with open(self.path("picture.gp"), encoding="utf-8") as f:
            return parse_script(f.read())


def parse_script(text):
    """The data blocks of a gnuplot script as {name: (comment, runs)}, each run a
    list of (n, value), and the plot command's elements in order."""
    blocks = {}
    lines = text.splitlines()
    i = 0
    elements = []
    while i < len(lines):
        match = re.match(r"^(\$\w+) << EOD$", lines[i])
        if match:
            name, comment, runs = match.group(1), None, [[]]
            i += 1
            while lines[i] != "EOD":
                if lines[i].startswith("# "):
                    comment = lines[i][2:]
                elif lines[i] == "":
                    runs.append([])
                else:
                    n, value, *_ = lines[i].split()  # then the normal and dotted flags
                    runs[-1].append((float(n), value))
                i += 1
            blocks[name] = (comment, runs)
        elif lines[i].startswith("plot "):
            statement = lines[i]
            while statement.endswith("\\"):
                i += 1
                statement = statement[:-1] + lines[i]
            elements = [element.strip() for element in statement[len("plot "):].split(", ")]
        i += 1
    return blocks, elements


def curve_blocks(blocks):
    """{comment: runs} of the curves' data blocks."""
    return {comment: runs for name, (comment, runs) in blocks.items() if name.startswith("$curve")}


def table_values(n_list, alpha, method):
    """The exact values `ljungcv table` gives, as {n: text}."""
    result = run("table", "--n", n_list, "--alpha", alpha, "--method", method, "--format", "csv")
    assert result.returncode == 0, result.stderr
    return {float(row["n"]): row["value"] for row in csv.DictReader(io.StringIO(result.stdout))}


def path_segments(d):
    """The polylines of an SVG path as lists of (x, y), a new one at each M."""
    segments = []
    for command, x, y in re.findall(r"([MLZ])\s*(?:(-?[\d.]+),(-?[\d.]+))?", d):
        if command == "M":
            segments.append([(float(x), float(y))])
        elif command == "L":
            segments[-1].append((float(x), float(y)))
    return segments


class SvgPicture:
    """gnuplot's SVG: the plot area and, per plotted element, its polylines
    and points inside the plot area (the legend's samples lie outside)."""

    def __init__(self, path):
        self.root = ET.parse(path).getroot()
        rectangles = []
        for path_element in self.root.iter(SVG + "path"):
            d = path_element.get("d", "")
            if d.rstrip().endswith("Z"):
                points = path_segments(d)[0]
                xs, ys = [p[0] for p in points], [p[1] for p in points]
                rectangles.append((min(xs), max(xs), min(ys), max(ys)))
        # The plot border is the largest closed rectangle; the legend's box is smaller.
        self.area = max(rectangles, key=lambda r: (r[1] - r[0]) * (r[3] - r[2]))

    def inside(self, point):
        left, right, top, bottom = self.area
        return left - 0.5 <= point[0] <= right + 0.5 and top - 0.5 <= point[1] <= bottom + 0.5

    def element(self, number):
        for group in self.root.iter(SVG + "g"):
            if group.get("id") == f"gnuplot_plot_{number}":
                return group
        raise AssertionError(f"no plotted element {number}")

    def lines(self, number):
        segments = []
        for path_element in self.element(number).iter(SVG + "path"):
            segments += [s for s in path_segments(path_element.get("d", "")) if all(map(self.inside, s))]
        return segments

    def points(self, number):
        points = []
        for use in self.element(number).iter(SVG + "use"):
            x, y = re.match(r"translate\((-?[\d.]+),(-?[\d.]+)\)", use.get("transform")).groups()
            if self.inside((float(x), float(y))):
                points.append((float(x), float(y)))
        return points


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == PNG_SIGNATURE, head[:8]
    length, chunk = struct.unpack(">I4s", head[8:16])
    assert chunk == b"IHDR" and length == 13, (chunk, length)
    return struct.unpack(">II", head[16:24])


# --- Pictures: each format is written, valid and of the size asked for.


class Pictures(PlotCase):
    def test_svg_with_defaults(self):
        result = self.plot("-o", "curves.svg")
        self.assertEqual(result.stderr, "")
        picture = SvgPicture(self.path("curves.svg"))
        self.assertEqual(picture.root.tag, SVG + "svg")
        self.assertEqual((picture.root.get("width"), picture.root.get("height")), ("800", "500"))
        # Per level: the corrected curve, the asymptotic curve and its dotted
        # stretch (it falls for small n); then the legend's lines for the two
        # methods and the dotted style; then the fitted points (n = 1, 2, 100,
        # 200) on the three corrected curves.
        for level in range(3):
            corrected, asymptotic, dotted = 1 + 3 * level, 2 + 3 * level, 3 + 3 * level
            with self.subTest(level=level):
                self.assertEqual(len(picture.lines(corrected)), 1, "one unbroken line")
                self.assertGreater(len(picture.lines(asymptotic)[-1]), 100)
                [stretch] = picture.lines(dotted)
                self.assertEqual(stretch[0][0], picture.lines(corrected)[0][1][0], "dotted from n = 2")
                self.assertLess(stretch[-1][0], picture.lines(asymptotic)[-1][1][0], "up to where it holds")
                self.assertTrue(8 <= len(picture.points(corrected)) <= 24, "marks tell the levels apart")
        self.assertEqual([len(picture.lines(number)) for number in (10, 11, 12)], [0, 0, 0])
        self.assertEqual(len(picture.points(13)), 12)
        text = "".join(picture.root.itertext())
        for words in ("n (number of observations)", "critical value", "α = 0.01", "α = 0.05", "α = 0.1",
                      "corrected (C)", "asymptotic (L)", "fitted points", "out of range (ljungcv limits)",
                      "LJUNGCV critical values against n, both methods", ">1000<", ">10000<"):
            self.assertIn(words, text if not words.startswith(">") else open(self.path("curves.svg")).read())

    def test_font_size_and_key_below_in_a_narrow_picture(self):
        blocks, elements = self.plot_script("--width", "336", "--height", "300", "--font-size", "7", "--method", "C")
        with open(self.path("picture.gp"), encoding="utf-8") as f:
            script = f.read()
        self.assertIn("font 'sans,7'", script)
        self.assertIn("set key at screen 0.5, screen 0.01 center bottom", script)
        self.assertIn("corrected method (C)", script)
        point_types = re.findall(r" pt (\d+) ", " ".join(e for e in elements if e.startswith("$curve")))
        self.assertEqual(len(set(point_types)), 3, "a mark of its own per level")

    def test_png_size(self):
        cases = [([], (800, 500)), (["--width", "640", "--height", "400"], (640, 400)),
                 (["--width", "1200", "--height", "750"], (1200, 750)), (["--width", "200", "--height", "150"], (200, 150))]
        for options, size in cases:
            with self.subTest(options=options):
                self.plot("-o", "curves.png", *options)
                self.assertEqual(png_size(self.path("curves.png")), size)

    def test_pdf_page(self):
        self.plot("-o", "curves.pdf", "--width", "960", "--height", "480")
        with open(self.path("curves.pdf"), "rb") as f:
            data = f.read()
        self.assertTrue(data.startswith(b"%PDF-"))
        # 96 pixels an inch, 72 points an inch.
        self.assertRegex(data, rb"/MediaBox \[ 0 0 720 360 \]")

    def test_format_from_extension_in_any_case(self):
        self.plot("-o", "CURVES.PNG", "--method", "C")
        self.assertEqual(png_size(self.path("CURVES.PNG")), (800, 500))
        self.plot("-o", "Curves.Svg", "--method", "L")
        self.assertEqual(SvgPicture(self.path("Curves.Svg")).root.tag, SVG + "svg")

    def test_script_draws_the_same_picture_again(self):
        self.plot("-o", "curves.svg", "--script", "curves.gp", "--n", "1:50", "--title", "It's n")
        with open(self.path("curves.svg"), "rb") as f:
            first = f.read()
        os.remove(self.path("curves.svg"))
        subprocess.run(["gnuplot", "curves.gp"], cwd=self.directory, check=True)
        with open(self.path("curves.svg"), "rb") as f:
            self.assertEqual(f.read(), first)
        self.assertIn("It's n", "".join(SvgPicture(self.path("curves.svg")).root.itertext()))


# --- The data: values from the module, exactly; counts sampled as documented.


class Data(PlotCase):
    def test_values_are_the_modules(self):
        blocks, _ = self.plot_script("--n", "1:40", "--alpha", "0.01,0.1", "--method", "both")
        curves = curve_blocks(blocks)
        self.assertEqual(len(curves), 4)
        for method, name in (("C", "corrected"), ("L", "asymptotic")):
            for alpha in ("0.01", "0.1"):
                with self.subTest(method=method, alpha=alpha):
                    runs = curves[f"{name} ({method}), alpha = {alpha}"]
                    expected = table_values("1:40", alpha, method)
                    points = [p for run in runs for p in run]
                    self.assertEqual(dict(points), {n: v for n, v in expected.items() if v})

    def test_log_range_sampling(self):
        blocks, _ = self.plot_script("--method", "C", "--alpha", "0.05")
        counts = [n for n, _ in curve_blocks(blocks)["corrected (C), alpha = 0.05"][0]]
        self.assertEqual(counts, sorted(set(counts)))
        self.assertTrue(all(n == int(n) for n in counts))
        self.assertEqual(counts[:150], list(range(1, 151)), "every whole number where they are close")
        self.assertEqual((counts[0], counts[-1]), (1, 10000))
        self.assertIn(200, counts)
        self.assertTrue(500 <= len(counts) <= 2000, len(counts))
        # Beyond that, neighbours about a thousandth of the axis apart: the
        # ratio 10000^(1/1000), rounded to whole numbers.
        ratio = 10000 ** (1 / 1000)
        for a, b in zip(counts, counts[1:]):
            self.assertLessEqual(b, max(a + 1, a * ratio + 0.5), (a, b))
            self.assertGreaterEqual(b, min(a * ratio - 0.5, counts[-1]) if b - a > 1 else a + 1, (a, b))

    def test_linear_range_sampling(self):
        blocks, _ = self.plot_script("--method", "C", "--alpha", "0.05", "--linear")
        counts = [n for n, _ in curve_blocks(blocks)["corrected (C), alpha = 0.05"][0]]
        steps = {b - a for a, b in zip(counts, counts[1:])}
        self.assertEqual((counts[0], counts[-1]), (1, 10000))
        self.assertTrue(all(step <= 9 for step in steps), steps)
        self.assertTrue({2, 100, 200} <= set(counts))
        self.assertTrue(1000 <= len(counts) <= 1200, len(counts))

    def test_lists_and_anchors(self):
        cases = [
            ("3,1000,10,50,10", [3, 10, 50, 100, 200, 1000], [100, 200]),
            ("1:5", [1, 2, 3, 4, 5], [1, 2]),
            ("50:150", None, [100]),
            ("300:400", None, []),
            ("2,7", [2, 7], [2]),
        ]
        for n_list, counts, anchors in cases:
            with self.subTest(n=n_list):
                blocks, elements = self.plot_script("--n", n_list, "--alpha", "0.05", "--method", "C")
                curve = curve_blocks(blocks)["corrected (C), alpha = 0.05"][0]
                if counts is not None:
                    self.assertEqual([n for n, _ in curve], counts)
                if anchors:
                    comment, runs = blocks["$marks"]
                    self.assertEqual(comment, "anchors n = " + ", ".join(map(str, anchors)))
                    self.assertEqual(runs, [[p for p in curve if p[0] in anchors]])
                else:
                    self.assertNotIn("$marks", blocks)
                    self.assertFalse(any("$marks" in element for element in elements))


# --- Gaps: a count without a value is no point of the curve.


class Gaps(PlotCase):
    def test_asymptotic_curve_starts_at_two(self):
        blocks, elements = self.plot_script("--n", "1:5", "--alpha", "0.05", "--method", "both")
        curves = curve_blocks(blocks)
        self.assertEqual([[n for n, _ in run] for run in curves["corrected (C), alpha = 0.05"]], [[1, 2, 3, 4, 5]])
        self.assertEqual([[n for n, _ in run] for run in curves["asymptotic (L), alpha = 0.05"]], [[2, 3, 4, 5]])
        self.assertTrue(elements[0].startswith("$curve1 using") and elements[1].startswith("$curve2 using"))
        self.assertIn("dt '. '", elements[2], "L falls from n = 2 to 5: dotted")

        picture = SvgPicture(self.path("picture.svg"))
        [corrected] = picture.lines(1)
        self.assertEqual([line for line in picture.lines(2) if len(line) > 1], [], "n = 2 alone is no line")
        [asymptotic] = picture.lines(3)
        self.assertEqual(len(corrected), 5)
        self.assertEqual(len(asymptotic), 4)
        self.assertEqual(asymptotic[0][0], corrected[1][0], "the first asymptotic point is at n = 2")
        self.assertEqual(asymptotic[-1][0], corrected[-1][0])

    def test_lone_value_is_a_dot(self):
        blocks, elements = self.plot_script("--n", "1,2", "--alpha", "0.05", "--method", "L")
        self.assertEqual(list(blocks), ["$curve1_dots"])
        self.assertEqual([[n for n, _ in run] for run in blocks["$curve1_dots"][1]], [[2]])
        self.assertIn("with points", elements[0])
        picture = SvgPicture(self.path("picture.svg"))
        self.assertEqual(picture.lines(1), [])
        self.assertEqual(len(picture.points(1)), 1)

    def test_level_without_values_is_left_out(self):
        result = run("plot", "--n", "1:5", "--alpha", "0,0.05", "--method", "L", "-o", "p.svg", "--script", "p.gp",
                     cwd=self.directory)
        self.assertEqual(result.returncode, EXIT_VALUE)
        self.assertEqual(result.stderr, "ljungcv plot: the asymptotic method has no value at alpha = 0; left out\n")
        with open(self.path("p.gp"), encoding="utf-8") as f:
            blocks, elements = parse_script(f.read())
        self.assertEqual(list(curve_blocks(blocks)), ["asymptotic (L), alpha = 0.05"])
        self.assertEqual(len(SvgPicture(self.path("p.svg")).lines(1)), 1)


# --- Errors: a message in one line and the exit code, no picture.


class Errors(PlotCase):
    def test_errors(self):
        missing_module = self.path("absent.so")
        cases = [
            (["-o", "x.jpg"], EXIT_USAGE, "cannot tell the format of 'x.jpg': give a file name ending in .svg, .png or .pdf"),
            (["-o", "curves"], EXIT_USAGE, "cannot tell the format of 'curves'"),
            ([], EXIT_USAGE, "--output is required"),
            (["-o", "x.svg", "--method", "X"], EXIT_USAGE, "method 'X' is not C, CORR, CORRECT, CORRECTED, L, LJUNG (any case) or both"),
            (["-o", "x.svg", "--n", "0:10"], EXIT_USAGE, "range '0:10' needs whole numbers FIRST < LAST from 1 to 2147483647"),
            (["-o", "x.svg", "--n", "10:5"], EXIT_USAGE, "range '10:5' needs whole numbers"),
            (["-o", "x.svg", "--n", "1:x"], EXIT_USAGE, "range '1:x' needs whole numbers"),
            (["-o", "x.svg", "--n", "1.5,3"], EXIT_USAGE, "n = 1.5 is not a whole number from 1 to 2147483647"),
            (["-o", "x.svg", "--n", "-4,3"], EXIT_USAGE, "n = -4 is not a whole number"),
            (["-o", "x.svg", "--n", "5,5"], EXIT_USAGE, "a plot needs at least two different n"),
            (["-o", "x.svg", "--n", "1:200000:1"], EXIT_USAGE, "200000 values of n are more than a plot can show"),
            (["-o", "x.svg", "--alpha", "0.01,,0.1"], EXIT_USAGE, "empty item in list '0.01,,0.1'"),
            (["-o", "x.svg", "--alpha", "0.001:0.1:0.001"], EXIT_USAGE, "more than 12 levels are more curves than a plot can tell"),
            (["-o", "x.svg", "--width", "10"], EXIT_USAGE, "--width '10' is not a whole number of pixels from 200 to 10000"),
            (["-o", "x.svg", "--height", "abc"], EXIT_USAGE, "--height"),
            (["-o", "x.svg", "--gnuplot", "/nonexistent/gnuplot"], EXIT_BAD_INPUT,
             "cannot run '/nonexistent/gnuplot': No such file or directory; drawing needs gnuplot (Debian: gnuplot-nox)"),
            (["-o", "x.svg", "--gnuplot", "false"], EXIT_BAD_INPUT, "'false' failed with exit status 1"),
            (["-o", "/nonexistent/x.svg"], EXIT_BAD_INPUT, "cannot write '/nonexistent/x.svg': No such file or directory"),
            (["-o", "x.svg", "--script", "/nonexistent/x.gp"], EXIT_BAD_INPUT, "cannot write the script '/nonexistent/x.gp'"),
        ]
        for args, code, message in cases:
            with self.subTest(args=args):
                result = run("plot", *args, cwd=self.directory)
                self.assertEqual(result.returncode, code, result.stderr)
                self.assertIn(message, result.stderr)
                self.assertEqual(result.stderr.count("\n"), 1, result.stderr)
                self.assertEqual(result.stdout, "")
                self.assertEqual(os.listdir(self.directory), [], "no picture is left")
        with self.subTest("module"):
            result = run("--module", missing_module, "plot", "-o", "x.svg", cwd=self.directory)
            self.assertEqual(result.returncode, EXIT_LOAD)
            self.assertIn(f"cannot load module '{missing_module}'", result.stderr)

    def test_reference_lines_carry_numbers_only(self):
        blocks, elements = self.plot_script("--alpha", "0.05", "--n", "1:1000", "--line", "3.5,+4e0,3.5",
                                            "--mark-n", "31")
        self.assertEqual(blocks["$threshold1"], ("a reference line at 3.5", [[(1.0, "3.5"), (1000.0, "3.5")]]))
        self.assertEqual(blocks["$threshold2"][1], [[(1.0, "4"), (1000.0, "4")]])
        self.assertNotIn("$threshold3", blocks)  # a value given twice is one line
        titles = [re.search(r"title '(.*)'$", element).group(1) for element in elements if "title '" in element]
        self.assertEqual(titles[-4:-1], ["threshold 3.5", "threshold 4", "n = 31"])
        with open(self.path("picture.gp"), encoding="utf-8") as f:
            self.assertIn("set arrow from first 31, graph 0 to first 31, graph 1 nohead", f.read())
        # Drawn across the chart: a horizontal line inside the plot area.
        picture = SvgPicture(self.path("picture.svg"))
        number = next(i for i, element in enumerate(elements, 1) if element.startswith("$threshold1 "))
        (line,) = picture.lines(number)
        self.assertEqual({round(y, 1) for _, y in line}, {round(line[0][1], 1)})
        self.assertGreater(line[-1][0] - line[0][0], 0.9 * (picture.area[1] - picture.area[0]))

    def test_reference_lines_refused(self):
        cases = [
            (["--line", "3.5' . system('touch x') . '"], "is not a finite number"),
            (["--line", "nan"], "'nan' in 'nan' is not a finite number"),
            (["--mark-n", "20000"], "--mark-n 20000 is not a whole number within the plotted n, 1 to 10000"),
            (["--mark-n", "2.5"], "--mark-n 2.5 is not a whole number within the plotted n"),
            (["--line", "1,2,3,4,5,6,7"], "--line gives 7 values; a plot takes 6 at most"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                result = run("plot", "-o", "x.svg", *args, cwd=self.directory)
                self.assertEqual((result.returncode, result.stdout), (EXIT_USAGE, ""), result.stderr)
                self.assertIn(message, result.stderr)
                self.assertEqual(os.listdir(self.directory), [])

    def test_nothing_to_draw(self):
        cases = [
            ("0", EXIT_NO_RESULT, ["the corrected method has no value at alpha = 0; left out",
                                   "the asymptotic method has no value at alpha = 0; left out"]),
            ("0.5", EXIT_INVALID, ["the corrected method has no value at alpha = 0.5 (the module rejects this level)",
                                   "the asymptotic method has no value at alpha = 0.5 (the module rejects this level)"]),
        ]
        for alpha, code, notes in cases:
            with self.subTest(alpha=alpha):
                result = run("plot", "--alpha", alpha, "-o", "x.png", cwd=self.directory)
                self.assertEqual(result.returncode, code)
                lines = result.stderr.splitlines()
                self.assertEqual(len(lines), 3)
                for line, note in zip(lines, notes):
                    self.assertIn(note, line)
                self.assertEqual(lines[2], "ljungcv plot: no curve has a value to draw")
                self.assertEqual(os.listdir(self.directory), [])

    def test_help(self):
        result = run("plot", "--help")
        self.assertEqual(result.returncode, 0)
        for words in ("RANGE FIRST:LAST", ".svg, .png or .pdf", "gnuplot-nox", "Examples:"):
            self.assertIn(words, result.stdout)


class SetupInstallsGnuplot(unittest.TestCase):
    """scripts/run.sh, the route the docs give before `ljungcv plot`, runs
    scripts/setup.sh without a group: that base set must bring gnuplot."""

    def test_gnuplot_in_the_base_set(self):
        setup = os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "setup.sh")
        with open(setup, encoding="utf-8") as f:
            table = re.search(r"^requirements='\n(.*?)^'", f.read(), re.M | re.S).group(1)
        rows = [line.split() for line in table.splitlines() if line.strip()]
        base = [row for row in rows if len(row) == 3]
        self.assertIn(["command", "gnuplot", "gnuplot-nox"], base)
        with open(os.path.join(os.path.dirname(setup), "run.sh"), encoding="utf-8") as f:
            self.assertRegex(f.read(), r"(?m)^scripts/setup\.sh$")


if __name__ == "__main__":
    LJUNGCV = os.path.abspath(sys.argv.pop(1))
    unittest.main()
