"""The README and the help texts cannot drift from the command: every command
in the README's console blocks prints what the block shows (its standard
error lines may come before or after its standard output), and every example
in ljungcv's help texts runs and succeeds.

Usage: test_docs.py LJUNGCV README [unittest options]
"""

import os
import re
import subprocess
import sys
import tempfile
import unittest

LJUNGCV = README = None
SUBCOMMANDS = [[], ["table"], ["eval"], ["limits"], ["info"], ["plot"]]


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

    def test_readme_console_blocks_print_what_they_show(self):
        with open(README, encoding="utf-8") as f:
            commands = console_blocks(f.read())
        self.assertGreater(len(commands), 8)
        for command, expected in commands:
            with self.subTest(command=command):
                result = self.shell(command)
                out, err = result.stdout.splitlines(), result.stderr.splitlines()
                self.assertIn(expected, (out + err, err + out), f"exit {result.returncode}")

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
