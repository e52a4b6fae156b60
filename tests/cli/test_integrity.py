"""ljungcv under hostile conditions: lost output, stray arguments, hostile
plot texts, a gnuplot that fails or hangs.

Usage: test_integrity.py LJUNGCV [unittest options]
"""

import os
import signal
import subprocess
import sys
import unittest

LJUNGCV = None
EXIT_USAGE, EXIT_BAD_INPUT = 3, 5


def close_stdout():
    os.close(1)


def ignore_sigpipe():
    signal.signal(signal.SIGPIPE, signal.SIG_IGN)


class FailedWrites(unittest.TestCase):
    """Every command's output is checked to the last byte: a failed write is
    exit 5 with one message, never a success."""

    COMMANDS = [["10", "0.05"], ["table"], ["table", "--format", "json"], ["info"], ["--help"], ["eval"]]

    def sinks(self):
        # (name, keyword arguments for subprocess.run, cleanup)
        full = open("/dev/full", "wb")
        yield "full device", {"stdout": full}
        full.close()
        yield "closed", {"preexec_fn": close_stdout}
        reader, writer = os.pipe()
        os.close(reader)
        yield "broken pipe, SIGPIPE ignored", {"stdout": writer, "preexec_fn": ignore_sigpipe}
        os.close(writer)

    def test_every_command_reports_a_failed_write(self):
        for args in self.COMMANDS:
            for name, how in self.sinks():
                with self.subTest(args=args, sink=name):
                    result = subprocess.run([LJUNGCV, *args], input=b"10 0.05\n", stderr=subprocess.PIPE,
                                            timeout=60, check=False, **how)
                    self.assertEqual(result.returncode, EXIT_BAD_INPUT)
                    self.assertRegex(result.stderr.decode(), r"^ljungcv: cannot write the output: .+\n$")

    def test_endless_eval_stops_at_the_first_failed_write(self):
        with subprocess.Popen(["yes", "10 0.05"], stdout=subprocess.PIPE) as source, open("/dev/full", "wb") as full:
            result = subprocess.run([LJUNGCV, "eval"], stdin=source.stdout, stdout=full, stderr=subprocess.PIPE,
                                    timeout=60, check=False, preexec_fn=ignore_sigpipe)
            source.kill()
        self.assertEqual(result.returncode, EXIT_BAD_INPUT)
        self.assertIn(b"cannot write the output", result.stderr)


class StrayArguments(unittest.TestCase):
    """Nothing typed is silently dropped: what a subcommand does not use is a
    usage error that names it."""

    def test_unused_words_and_options_are_refused(self):
        cases = [
            (["table", "10", "0.05"], "ljungcv table: unexpected '10', '0.05'"),
            (["10", "0.05", "table"], "ljungcv table: unexpected '10', '0.05'"),
            (["plot", "-o", "p.png", "10", "0.05", "L"], "ljungcv plot: unexpected '10', '0.05', 'L'"),
            (["--digits", "3", "info"], "ljungcv info: unexpected --digits"),
            (["info", "--exact"], "ljungcv info: unexpected --exact"),
            (["--module", "", "10", "0.05"], "ljungcv: --module needs a file name"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                result = subprocess.run([LJUNGCV, *args], capture_output=True, text=True, check=False)
                self.assertEqual((result.returncode, result.stdout), (EXIT_USAGE, ""))
                self.assertEqual(result.stderr, message + "\n")


if __name__ == "__main__":
    LJUNGCV = sys.argv.pop(1)
    unittest.main()
