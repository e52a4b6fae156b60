"""ljungcv(1) as man shows it: every example of the help texts on a line of
its own and as typed (plain hyphens, nothing joined or wrapped), the exit
codes an item each, and no warning from man.

Usage: test_manpage.py LJUNGCV PAGE [unittest options]
"""

import os
import re
import subprocess
import sys
import unittest

LJUNGCV = PAGE = None
SUBCOMMANDS = [[], ["table"], ["eval"], ["limits"], ["reach"], ["info"], ["plot"]]


def help_block(arguments, heading):
    """The lines of a help text's block under `heading`, up to a blank line."""
    text = subprocess.run([LJUNGCV, *arguments, "--help"], capture_output=True, text=True, check=True).stdout
    match = re.search(rf"^{heading}\n((?:.+\n)+)", text, re.M)
    return [line.strip() for line in match.group(1).splitlines()] if match else []


def render(*options):
    environment = dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8")
    environment.pop("MANPAGER", None)
    environment.pop("PAGER", None)
    return subprocess.run(["man", *options, "-l", PAGE], capture_output=True, text=True, env=environment, check=False)


class ManPage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        result = render()
        cls.lines = [line.strip() for line in result.stdout.splitlines()]
        cls.status = result.returncode

    def test_renders_without_warnings(self):
        self.assertEqual(self.status, 0)
        result = render("--warnings")
        self.assertEqual(result.returncode, 0)
        self.assertEqual(result.stderr, "")

    def test_every_example_on_a_line_of_its_own(self):
        examples = [(arguments, line) for arguments in SUBCOMMANDS for line in help_block(arguments, "Examples?:")]
        self.assertGreaterEqual(len(examples), 15)
        for arguments, example in examples:
            with self.subTest(subcommand=arguments, example=example):
                self.assertTrue(example in self.lines, f"not a line of its own in the man page: {example!r}")

    def test_exit_codes_an_item_each(self):
        codes = [line.split()[0] for line in help_block([], "Exit codes:") if re.match(r"\d+ ", line)]
        self.assertEqual(codes, ["0", "1", "2", "3", "4", "5"])
        start = self.lines.index("Exit codes:")
        items = [line.split()[0] for line in self.lines[start + 1:] if re.match(r"\d+ {2,}\S", line)]
        self.assertEqual(items[:len(codes)], codes)


if __name__ == "__main__":
    LJUNGCV = os.path.abspath(sys.argv.pop(1))
    PAGE = os.path.abspath(sys.argv.pop(1))
    unittest.main()
