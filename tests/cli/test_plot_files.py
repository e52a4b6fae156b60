"""ljungcv plot's output files as a user meets them: links kept, FIFOs and
devices written in place, -o and --script never the same file, and a run
that fails leaves every existing file as it was.

Usage: test_plot_files.py LJUNGCV [unittest options]
Drawing needs gnuplot on PATH (scripts/setup.sh installs gnuplot-nox).
"""

import os
import subprocess
import sys
import tempfile
import threading
import unittest

LJUNGCV = None

EXIT_VALUE, EXIT_USAGE, EXIT_BAD_INPUT = 0, 3, 5
OLD = "old content\n"
SMALL = ["--n", "1:5", "--alpha", "0.05"]


def run(*args, cwd):
    return subprocess.run([LJUNGCV, "plot", *SMALL, *args], capture_output=True, text=True, check=False, cwd=cwd)


class OutputFiles(unittest.TestCase):
    def setUp(self):
        self._directory = tempfile.TemporaryDirectory()
        self.directory = self._directory.name

    def tearDown(self):
        self._directory.cleanup()

    def path(self, name):
        return os.path.join(self.directory, name)

    def read(self, name):
        with open(self.path(name), encoding="utf-8", errors="replace") as f:
            return f.read()

    def put(self, name, text=OLD):
        with open(self.path(name), "w", encoding="utf-8") as f:
            f.write(text)

    def test_fifo_and_standard_output_are_written_in_place(self):
        fifo = self.path("script.fifo")
        os.mkfifo(fifo)
        received = []

        def read_fifo():
            with open(fifo, encoding="utf-8") as f:
                received.append(f.read())

        reader = threading.Thread(target=read_fifo)
        reader.start()
        result = run("-o", "p.svg", "--script", "script.fifo", cwd=self.directory)
        reader.join(timeout=60)
        self.assertEqual(result.returncode, EXIT_VALUE, result.stderr)
        self.assertIn("draw with: gnuplot", received[0])
        self.assertTrue(os.path.exists(fifo) and not os.path.isfile(fifo), "the FIFO stays a FIFO")

        for stdout in (subprocess.PIPE, "file"):
            with self.subTest(stdout=stdout):
                if stdout == "file":
                    with open(self.path("out.txt"), "w", encoding="utf-8") as f:
                        f.write("before\n")
                        f.flush()
                        f.seek(0, os.SEEK_END)
                        code = subprocess.run([LJUNGCV, "plot", *SMALL, "-o", "q.svg", "--script", "/dev/stdout"],
                                              stdout=f, stderr=subprocess.PIPE, cwd=self.directory).returncode
                    text = self.read("out.txt")
                    self.assertTrue(text.startswith("before\n# LJUNGCV"), text[:80])
                else:
                    done = subprocess.run([LJUNGCV, "plot", *SMALL, "-o", "q.svg", "--script", "/dev/stdout"],
                                          capture_output=True, text=True, cwd=self.directory)
                    code, text = done.returncode, done.stdout
                    self.assertIn("draw with: gnuplot", text)
                self.assertEqual(code, EXIT_VALUE)

    def test_failures_touch_no_existing_file(self):
        os.mkdir(self.path("a directory"))
        os.symlink("p.svg", self.path("link.svg"))
        cases = [
            (["-o", "p.svg", "--script", "p.svg"], EXIT_USAGE, "--output and --script name the same file"),
            (["-o", "p.svg", "--script", "./p.svg"], EXIT_USAGE, "name the same file"),
            (["-o", "link.svg", "--script", "p.svg"], EXIT_USAGE, "name the same file"),
            (["-o", "new.svg", "--script", "new.svg"], EXIT_USAGE, "name the same file"),
            (["-o", "p.svg", "--script", "a directory"], EXIT_BAD_INPUT, "cannot write the script 'a directory': Is a directory"),
            (["-o", "p.svg", "--script", "/dev/full"], EXIT_BAD_INPUT, "cannot write '/dev/full': No space left on device"),
            (["-o", "p.svg", "--script", "p.gp", "--gnuplot", "false"], EXIT_BAD_INPUT, "failed with exit status 1"),
            (["-o", "p.svg", "--timeout", "nan"], EXIT_USAGE, "--timeout 'nan' is not a number of seconds from 0.001 to 86400"),
            (["-o", "p.svg", "--timeout", "-1"], EXIT_USAGE, "--timeout"),
            (["-o", "p.svg", "--timeout", "inf"], EXIT_USAGE, "--timeout"),
        ]
        for args, code, message in cases:
            with self.subTest(args=args):
                self.put("p.svg")
                self.put("p.gp")
                result = run(*args, cwd=self.directory)
                self.assertEqual(result.returncode, code, result.stderr)
                self.assertIn(message, result.stderr)
                self.assertEqual(result.stderr.count("\n"), 1, result.stderr)
                self.assertEqual(self.read("p.svg"), OLD)
                self.assertEqual(self.read("p.gp"), OLD)
                self.assertEqual(sorted(os.listdir(self.directory)), ["a directory", "link.svg", "p.gp", "p.svg"])


if __name__ == "__main__":
    LJUNGCV = os.path.abspath(sys.argv.pop(1))
    unittest.main()
