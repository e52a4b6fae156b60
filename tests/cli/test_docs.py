"""The README, the manual in docs/ and the help texts cannot drift from the
command: every command in their console blocks prints what the block shows
(its standard error lines may come before or after its standard output), and
every example in ljungcv's help texts runs and succeeds. Every relative link
in them names a file that exists (and, into a page, a heading it has), and a
route's commands shown in two places are the same text, so the README shows
what the route's page runs as a test.

Usage: test_docs.py LJUNGCV README [unittest options]
"""

import glob
import math
import os
import random
import re
import subprocess
import sys
import tempfile
import unittest

LJUNGCV = README = None
SUBCOMMANDS = [[], ["table"], ["eval"], ["limits"], ["reach"], ["outliers"], ["info"], ["plot"]]


def documents():
    """The README, every page of the manual (docs/*.md) and the Python package's
    README, as (path, text)."""
    root = os.path.dirname(README)
    paths = [README, os.path.join(root, "python", "README.md")] + sorted(glob.glob(os.path.join(root, "docs", "*.md")))
    texts = []
    for path in paths:
        with open(path, encoding="utf-8") as f:
            texts.append((path, f.read()))
    return texts


def slug(heading):
    """The anchor a Markdown heading gets: lower case, punctuation dropped, blanks to hyphens."""
    text = re.sub(r"[^\w\- ]", "", heading.strip().lower())
    return text.replace(" ", "-")


def outside_fences(text):
    """The lines outside fenced blocks, where headings are headings and links are links."""
    lines, fenced = [], False
    for line in text.splitlines():
        if line.startswith("```"):
            fenced = not fenced
        elif not fenced:
            lines.append(line)
    return lines


def headings(text):
    return {slug(line.lstrip("#").replace("`", "")) for line in outside_fences(text) if re.match(r"#+ ", line)}


def links(text):
    """The targets of the Markdown links outside code."""
    prose = "\n".join(re.sub(r"`[^`]*`", "", line) for line in outside_fences(text))
    return re.findall(r"\]\(([^)\s]+)\)", prose)


def route_blocks(text):
    """{name: block text} for every fenced block marked <!-- route: NAME -->."""
    return dict(re.findall(r"<!-- route: ([\w-]+) -->\n```\w*\n(.*?)```", text, re.S))


def console_blocks(text):
    """(command, expected lines) of every '$ ' line in ```console blocks."""
    commands = []
    for block in re.findall(r"```console\n(.*?)```", text, re.S):
        for line in block.splitlines():
            if line.startswith("$ "):
                commands.append((line[2:], []))
            else:
                commands[-1][1].append(line)
    return commands


class Documents(unittest.TestCase):
    def setUp(self):
        # A working directory with what the examples name: an input file and
        # the module where `ljungcv info --module build/lib/...` looks.
        self.directory = tempfile.TemporaryDirectory()
        with open(os.path.join(self.directory.name, "series.txt"), "w") as f:
            f.write("n,alpha,method\n10,0.05,C\n100,0.01,L\n")
        # Series for outliers: a level with a spike, and a monthly series
        # (a wandering level, a seasonal swing, noise) with a drop of 6.
        draw = random.Random(12)
        level, rows = 100.0, []
        for k in range(120):
            level += draw.gauss(0, 0.3)
            value = level + 5 * math.sin(k * math.pi / 6) + draw.gauss(0, 1) - (6 if k >= 80 else 0)
            rows.append(f"{2010 + k // 12}-{k % 12 + 1:02d},{value:.2f}\n")
        with open(os.path.join(self.directory.name, "monthly.csv"), "w") as f:
            f.write("date,value\n" + "".join(rows))
        with open(os.path.join(self.directory.name, "values.txt"), "w") as f:
            f.write("".join(f"{10 + draw.gauss(0, 1) + (6 if k == 30 else 0):.2f}\n" for k in range(60)))
        os.makedirs(os.path.join(self.directory.name, "build"))
        lib = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(LJUNGCV))), "lib")
        os.symlink(lib, os.path.join(self.directory.name, "build", "lib"))
        self.environment = dict(os.environ, PATH=os.path.dirname(os.path.abspath(LJUNGCV)) + os.pathsep
                                + os.environ["PATH"])

    def tearDown(self):
        self.directory.cleanup()

    def shell(self, command):
        return subprocess.run(["bash", "-c", command], cwd=self.directory.name, env=self.environment,
                              capture_output=True, text=True, check=False, timeout=120)

    def test_console_blocks_print_what_they_show(self):
        pages = documents()
        self.assertGreater(len(pages), 8)
        total = 0
        for path, text in pages:
            commands = console_blocks(text)
            total += len(commands)
            for command, expected in commands:
                with self.subTest(page=os.path.basename(path), command=command):
                    result = self.shell(command)
                    out, err = result.stdout.splitlines(), result.stderr.splitlines()
                    self.assertIn(expected, (out + err, err + out), f"exit {result.returncode}")
        self.assertGreater(total, 12)

    def test_relative_links_resolve(self):
        anchors = {os.path.realpath(path): headings(text) for path, text in documents()}
        checked = 0
        for path, text in documents():
            for target in links(text):
                if re.match(r"[a-z]+:", target):
                    continue
                file, _, anchor = target.partition("#")
                resolved = os.path.realpath(os.path.join(os.path.dirname(path), file)) if file else \
                    os.path.realpath(path)
                with self.subTest(page=os.path.basename(path), link=target):
                    self.assertTrue(os.path.exists(resolved), f"{target}: no such file")
                    if anchor and resolved.endswith(".md"):
                        self.assertIn(anchor, anchors.get(resolved, set()), f"{target}: no such heading")
                checked += 1
        self.assertGreater(checked, 30)

    def test_routes_shown_twice_are_the_same(self):
        seen = {}
        for path, text in documents():
            for name, block in route_blocks(text).items():
                with self.subTest(page=os.path.basename(path), route=name):
                    self.assertEqual(block, seen.setdefault(name, block))
        # The routes the tests run: the README's first step, the kit, Python and R.
        self.assertLessEqual({"run", "kit-install", "kit-program", "kit-cmake", "kit-cmake-build", "kit-pkg-config",
                              "kit-remove", "python-install", "r-install", "r-use", "r-session", "r-vignette",
                              "r-remove", "r-remove-kit"},
                             set(seen))

    def test_help_examples_run(self):
        examples = []
        for words in SUBCOMMANDS:
            text = subprocess.run([LJUNGCV, *words, "--help"], capture_output=True, text=True, check=True).stdout
            section = re.search(r"\nExamples?:\n((?:  .+\n)+)", text)
            self.assertIsNotNone(section, words)
            examples += [line.strip() for line in section.group(1).splitlines()]
        self.assertGreater(len(examples), 15)
        for example in examples:
            with self.subTest(example=example):
                result = self.shell(example)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertNotRegex(result.stderr, r"ljungcv[a-z ]*: (?!note:)")


if __name__ == "__main__":
    LJUNGCV, README = sys.argv.pop(1), sys.argv.pop(1)
    unittest.main()
