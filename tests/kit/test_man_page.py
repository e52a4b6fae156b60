"""cvhost(3) against the library it describes: the page renders without a
warning from man, names every call the built libcvhost exports and every call
the header declares, and its example compiles against the header and the
library and prints what the page shows.

Usage: test_man_page.py PAGE HEADER LIBRARY C_COMPILER [unittest options]
"""

import os
import re
import subprocess
import sys
import tempfile
import unittest

PAGE = HEADER = LIBRARY = CC = None


def rendered():
    """The page as man shows it at 80 columns, and what man said on stderr."""
    environment = dict(os.environ, LC_ALL="C.UTF-8", MANROFFSEQ="", MANWIDTH="80")
    result = subprocess.run(["man", "--warnings", "-l", PAGE], capture_output=True, text=True, env=environment,
                            check=False)
    return result.returncode, result.stdout, result.stderr


def example_blocks():
    """The text of each .EX ... .EE block of the page, with roff's escapes undone."""
    with open(PAGE, encoding="utf-8") as f:
        source = f.read()
    blocks = re.findall(r"^\.EX\n(.*?)^\.EE$", source, re.M | re.S)
    return [block.replace("\\e", "\\").replace("\\-", "-") for block in blocks]


class ManPage(unittest.TestCase):
    def test_renders_without_warnings(self):
        status, out, err = rendered()
        self.assertEqual(status, 0, err)
        self.assertEqual(err, "")
        self.assertIn("THREADS", out)

    def test_names_every_exported_and_declared_call(self):
        _, out, _ = rendered()
        synopsis = out.split("DESCRIPTION")[0]
        symbols = subprocess.run(["nm", "-D", "--defined-only", LIBRARY], capture_output=True, text=True,
                                 check=True).stdout
        exported = set(re.findall(r" T (cvhost_\w+)$", symbols, re.M))
        with open(HEADER, encoding="utf-8") as f:
            declared = set(re.findall(r"CVHOST_API [^;(]*?\b(cvhost_\w+)\(", f.read()))
        self.assertGreaterEqual(len(exported), 13)
        self.assertEqual(exported, declared)
        for call in sorted(exported | declared):
            with self.subTest(call=call):
                self.assertRegex(synopsis, rf"\b{call}\(")
                self.assertRegex(out.split("DESCRIPTION", 1)[1], rf"\b{call}\b")

    def test_example_prints_what_the_page_shows(self):
        program, expected = example_blocks()
        with tempfile.TemporaryDirectory() as work:
            source = os.path.join(work, "example.c")
            with open(source, "w", encoding="utf-8") as f:
                f.write(program)
            binary = os.path.join(work, "example")
            include = os.path.join(os.path.dirname(os.path.dirname(HEADER)))
            library = os.path.dirname(LIBRARY)
            subprocess.run([CC, "-std=c89", "-Wall", "-Wextra", "-Werror", "-o", binary, source, "-I", include,
                            "-L", library, "-lcvhost", "-Wl,-rpath," + library], check=True)
            result = subprocess.run([binary], capture_output=True, text=True, check=False)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout, expected)


if __name__ == "__main__":
    PAGE, HEADER, LIBRARY, CC = (sys.argv.pop(1) for _ in range(4))
    unittest.main()
