"""Messages that show what a user typed: every control byte in it, a newline
included, is shown as \\xHH, so that the message stays one line and no input
can forge a line of its own or talk to the terminal.

Usage: test_messages.py LJUNGCV [unittest options]
"""

import os
import re
import subprocess
import sys
import unittest

LJUNGCV = None

# A newline that would start a forged message, and the other kinds of
# control byte a terminal acts on.
FORGED = "x\nFAKE: error\r\x1b[2K\t\x7f"
SHOWN = "x\\x0aFAKE: error\\x0d\\x1b[2K\\x09\\x7f"
CONTROL = re.compile(r"[\x00-\x09\x0b-\x1f\x7f]")


class Messages(unittest.TestCase):
    def test_user_text_never_breaks_a_message(self):
        cases = [
            ("--module", ["--module", FORGED, "10", "0.05"]),
            ("the quick form's N", [FORGED, "0.05"]),
            ("the quick form's ALPHA", ["10", FORGED]),
            ("the quick form's method", ["10", "0.05", FORGED]),
            ("an unexpected argument", ["table", FORGED]),
            ("eval's file name", ["eval", FORGED]),
            ("eval's --method", ["eval", "--method", FORGED]),
            ("table's --alpha", ["table", "--alpha", FORGED]),
            ("limits' --method", ["limits", "--method", FORGED]),
            ("plot's --method", ["plot", "-o", "x.svg", "--method", FORGED]),
            ("plot's -o", ["plot", "-o", FORGED]),
        ]
        for name, args in cases:
            with self.subTest(name):
                result = subprocess.run([LJUNGCV, *args], capture_output=True, check=False, stdin=subprocess.DEVNULL)
                err = result.stderr.decode("utf-8", "replace")
                self.assertNotEqual(result.returncode, 0, err)
                self.assertEqual(err.count("\n"), 1, err)
                self.assertTrue(err.endswith("\n"), err)
                self.assertIsNone(CONTROL.search(err), err)
                self.assertNotIn("\nFAKE", err)
                if name == "plot's -o":  # a plot refuses it, naming the byte
                    self.assertIn("control character (byte 0x0A at offset 1)", err)
                else:
                    self.assertIn(SHOWN, err)


if __name__ == "__main__":
    LJUNGCV = os.path.abspath(sys.argv.pop(1))
    unittest.main()
