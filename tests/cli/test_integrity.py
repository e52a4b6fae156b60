"""ljungcv under hostile conditions: lost output, stray arguments, hostile
plot texts, a gnuplot that fails or hangs, shared directories, start-up
files, a program that cannot tell where it is.

Usage: test_integrity.py LJUNGCV [unittest options]
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

LJUNGCV = None
EXIT_USAGE, EXIT_LOAD, EXIT_BAD_INPUT = 3, 4, 5


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


class DamagedModules(unittest.TestCase):
    """A damaged module is exit 4 with a message naming it, never a signal
    or a hang (the cases themselves are in the host tests)."""

    def test_cut_module_and_fifo(self):
        module = subprocess.run([LJUNGCV, "info"], capture_output=True, text=True, check=True).stdout
        module = module.splitlines()[0].removeprefix("Module ")
        with tempfile.TemporaryDirectory() as directory:
            cut, fifo = os.path.join(directory, "cut.so"), os.path.join(directory, "fifo.so")
            with open(module, "rb") as f, open(cut, "wb") as g:
                g.write(f.read(4096))
            os.mkfifo(fifo)
            for path, fault in ((cut, "damaged: segment"), (fifo, "a FIFO, not a library file")):
                with self.subTest(path=path):
                    result = subprocess.run([LJUNGCV, "--module", path, "10", "0.05"], capture_output=True,
                                            text=True, timeout=20, check=False)
                    self.assertEqual(result.returncode, 4)
                    self.assertIn(f"cannot load module '{path}': {fault}", result.stderr)


class PlotCase(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.directory = self.scratch.name

    def tearDown(self):
        self.scratch.cleanup()

    def path(self, name):
        return os.path.join(self.directory, name)

    def plot(self, *args, **how):
        return subprocess.run([LJUNGCV, "plot", *args], cwd=self.directory, capture_output=True, timeout=120,
                              check=False, **how)

    def fake_gnuplot(self, body):
        path = self.path("fake-gnuplot")
        with open(path, "w") as f:
            f.write("#!/bin/sh\n" + body + "\n")
        os.chmod(path, 0o755)
        return path


class PlotTexts(PlotCase):
    """What a user types reaches gnuplot only as data."""

    HOSTILE = ["caf\u00e9 \u2211 \U0001d11e", "'", "''", "a'", "'a'b''", '"', "\\", "!touch ran", "`touch ran`", "$(touch ran)", "; touch ran", 'system("touch ran")',
               "@GPVAL_PWD", "a' . system('touch ran') . 'b"]
    CONTROL = ["a\n!touch ran\n#", "a\rb", "a\x7fb", "a\x01b", "\t"]

    def test_hostile_texts_are_plain_data(self):
        for text in self.HOSTILE:
            with self.subTest(text=text):
                for leftover in os.listdir(self.directory):
                    os.remove(self.path(leftover))
                name = text.replace("/", "_") + ".svg"
                result = self.plot("-o", name, "--title", text, "--script", name + ".gp")
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(sorted(os.listdir(self.directory)), sorted([name, name + ".gp"]))
                with open(self.path(name), encoding="utf-8") as f:
                    self.assertIn(text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;"), f.read())

    def test_control_characters_are_refused(self):
        for text in self.CONTROL:
            for option, value in (("--title", text), ("-o", text + ".svg"), ("--script", text + ".gp")):
                with self.subTest(option=option, text=text):
                    args = ["-o", "x.svg", option, value] if option != "-o" else ["-o", value]
                    result = self.plot(*args)
                    self.assertEqual(result.returncode, EXIT_USAGE)
                    self.assertIn(b"has a control character", result.stderr)
                    self.assertEqual(os.listdir(self.directory), [])


    def test_titles_that_are_not_utf8_are_refused(self):
        cases = [
            (b"caf\xe9", "byte 0xE9 at offset 3"),
            (b"ab\xc3", "byte 0xC3 at offset 2"),  # cut short
            (b"a\xc0\xafb", "byte 0xC0 at offset 1"),  # overlong '/'
            (b"\xed\xa0\x80", "byte 0xA0 at offset 1"),  # a surrogate
            (b"\xf4\x90\x80\x80", "byte 0x90 at offset 1"),  # past U+10FFFF
            (b"\xe2\x82x", "byte 0x78 at offset 2"),
        ]
        for title, where in cases:
            with self.subTest(title=title):
                result = self.plot("-o", "x.svg", "--title", title)
                self.assertEqual(result.returncode, EXIT_USAGE)
                self.assertIn(f"--title is not UTF-8 ({where})".encode(), result.stderr)
                self.assertEqual(os.listdir(self.directory), [])


class PlotRuns(PlotCase):
    """A failed, cut, stopped or interrupted run leaves no picture, and never
    touches one already there."""

    def test_failed_runs_keep_the_old_files(self):
        cases = [
            ("missing", None, [], "cannot run '/nonexistent/gnuplot'"),
            ("fails", "cat >/dev/null; exit 1", [], "failed with exit status 1"),
            ("cut short", "cat >/dev/null; printf '<svg>'", [], "the picture came out incomplete"),
            ("hangs", "exec sleep 30", ["--timeout", "0.5"], "did not finish within 0.5 s"),
        ]
        for name, body, extra, message in cases:
            gnuplot = self.fake_gnuplot(body) if body else "/nonexistent/gnuplot"
            for picture in ("old.svg", "old.png", "old.pdf"):
                with self.subTest(name, picture=picture):
                    for old in (picture, "old.gp"):
                        with open(self.path(old), "w") as f:
                            f.write("old")
                    started = time.monotonic()
                    result = self.plot("-o", picture, "--script", "old.gp", "--gnuplot", gnuplot, *extra)
                    self.assertLess(time.monotonic() - started, 20)
                    self.assertEqual(result.returncode, EXIT_BAD_INPUT)
                    self.assertIn(message, result.stderr.decode())
                    expected = [picture, "old.gp"] + (["fake-gnuplot"] if body else [])
                    self.assertEqual(sorted(os.listdir(self.directory)), sorted(expected))
                    for old in (picture, "old.gp"):
                        with open(self.path(old)) as f:
                            self.assertEqual(f.read(), "old", old)
                        os.remove(self.path(old))

    def test_interrupt_stops_gnuplot_and_leaves_nothing(self):
        gnuplot = self.fake_gnuplot("echo $$ > gnuplot.pid; exec sleep 30")
        for sig in (signal.SIGINT, signal.SIGTERM):
            with self.subTest(signal=sig):
                with subprocess.Popen([LJUNGCV, "plot", "-o", "x.svg", "--gnuplot", gnuplot], cwd=self.directory,
                                      stderr=subprocess.DEVNULL) as process:
                    while not os.path.exists(self.path("gnuplot.pid")):
                        time.sleep(0.05)
                    time.sleep(0.1)
                    process.send_signal(sig)
                    self.assertEqual(process.wait(timeout=20), -sig)
                with open(self.path("gnuplot.pid")) as f:
                    pid = int(f.read() or "0")
                time.sleep(0.1)
                with self.assertRaises(ProcessLookupError):
                    os.kill(pid, 0)
                os.remove(self.path("gnuplot.pid"))
                self.assertEqual(os.listdir(self.directory), ["fake-gnuplot"])

    def test_closed_standard_streams(self):
        for stream in (0, 2):
            with self.subTest(closed=stream):
                result = subprocess.run([LJUNGCV, "plot", "-o", "x.svg"], cwd=self.directory, timeout=120,
                                        check=False, preexec_fn=lambda fd=stream: os.close(fd))
                self.assertEqual(result.returncode, 0)
                self.assertEqual(os.listdir(self.directory), ["x.svg"])
                os.remove(self.path("x.svg"))

    def test_a_link_swapped_in_is_never_followed(self):
        # While gnuplot runs, every temporary file in the directory is
        # replaced by a link to a victim; gnuplot then draws as usual.
        swap = 'for f in .pending-*; do rm -f "$f"; ln -s victim.txt "$f"; done; exec gnuplot "$@"'
        gnuplot = self.fake_gnuplot(swap)
        for picture in ("x.svg", "x.png"):
            with self.subTest(picture=picture):
                for name, content in (("victim.txt", "victim"), (picture, "old"), ("x.gp", "old")):
                    with open(self.path(name), "w") as f:
                        f.write(content)
                result = self.plot("-o", picture, "--script", "x.gp", "--gnuplot", gnuplot)
                self.assertEqual(result.returncode, EXIT_BAD_INPUT)
                self.assertIn(b"was replaced by another", result.stderr)
                for name, content in (("victim.txt", "victim"), (picture, "old"), ("x.gp", "old")):
                    with open(self.path(name)) as f:
                        self.assertEqual(f.read(), content, name)
                self.assertEqual(sorted(os.listdir(self.directory)),
                                 sorted(["fake-gnuplot", "victim.txt", picture, "x.gp"]))
                for name in ("victim.txt", picture, "x.gp"):
                    os.remove(self.path(name))

    def test_modes_of_written_files(self):
        # (mode of the file already there or None, umask, mode after)
        cases = [(0o600, 0o022, 0o600), (0o640, 0o077, 0o640), (None, 0o022, 0o644), (None, 0o077, 0o600),
                 (None, 0o002, 0o664)]
        for before, mask, after in cases:
            with self.subTest(before=before, umask=oct(mask)):
                for name in ("x.svg", "x.gp"):
                    if before is not None:
                        with open(self.path(name), "w") as f:
                            f.write("old")
                        os.chmod(self.path(name), before)
                result = self.plot("-o", "x.svg", "--script", "x.gp", preexec_fn=lambda m=mask: os.umask(m))
                self.assertEqual(result.returncode, 0, result.stderr)
                for name in ("x.svg", "x.gp"):
                    self.assertEqual(os.stat(self.path(name)).st_mode & 0o777, after, name)
                    os.remove(self.path(name))

    def test_gnuplot_reads_no_start_up_file(self):
        hostile = 'system("touch ran")\nset logscale y\nset datafile separator ","\n'
        home = tempfile.TemporaryDirectory()
        self.addCleanup(home.cleanup)
        for place in (home.name, self.directory):
            with open(os.path.join(place, ".gnuplot"), "w") as f:
                f.write(hostile)
        with open(os.path.join(home.name, "gnuplotrc"), "w") as f:
            f.write(hostile)
        clean = {"PATH": os.environ["PATH"]}
        reference = self.plot("-o", "reference.svg", env=clean)
        self.assertEqual(reference.returncode, 0, reference.stderr)
        with open(self.path("reference.svg"), "rb") as f:
            expected = f.read()
        environments = [
            ("home", {"HOME": home.name}),
            ("gnuplot's variables", {"HOME": home.name, "GNUPLOT_LIB": home.name, "GNUTERM": "dumb",
                                     "GNUPLOT_DRIVER_DIR": home.name, "GDFONTPATH": home.name}),
        ]
        for name, variables in environments:
            with self.subTest(name):
                result = self.plot("-o", "x.svg", env={**clean, **variables})
                self.assertEqual(result.returncode, 0, result.stderr)
                with open(self.path("x.svg"), "rb") as f:
                    self.assertEqual(f.read(), expected)
                for place in (home.name, self.directory):
                    self.assertNotIn("ran", os.listdir(place))

    def test_many_levels_are_refused_at_once(self):
        started = time.monotonic()
        result = self.plot("-o", "x.svg", "--alpha", "1e-9:0.01:1e-9")  # ten million levels
        self.assertEqual(result.returncode, EXIT_USAGE)
        self.assertIn(b"more than 12 levels", result.stderr)
        self.assertLess(time.monotonic() - started, 30)


def can_hide_proc():
    probe = ["unshare", "-m", "sh", "-c", "mount -t tmpfs none /proc && test ! -e /proc/self"]
    try:
        return subprocess.run(probe, capture_output=True, check=False, timeout=20).returncode == 0
    except OSError:
        return False


class OwnLocation(unittest.TestCase):
    """Without /proc, the command finds itself from argv[0] as the shell
    found it, or refuses; never from the working directory."""

    def test_without_proc(self):
        if not can_hide_proc():
            self.skipTest("cannot hide /proc (needs unshare and a mount namespace)")
        if os.environ.get("CVMODULE_SANITIZE"):
            self.skipTest("a sanitizer's runtime needs /proc itself")
        scratch = tempfile.TemporaryDirectory()
        self.addCleanup(scratch.cleanup)
        with open(os.path.join(scratch.name, "libcvmodule.so"), "w") as f:
            f.write("decoy")  # where a name read against the working directory would lead
        bin_dir = os.path.dirname(LJUNGCV)
        found, relative = "", "cannot tell where this program is"
        cases = [  # (argv[0], PATH, exit code, message)
            (LJUNGCV, "/usr/bin:/bin", 0, found),
            ("ljungcv", f"/usr/bin:{bin_dir}", 0, found),
            ("ljungcv", "/usr/bin:/bin", EXIT_LOAD, "'ljungcv' is not on PATH"),
            ("ljungcv", f".:{os.path.relpath(bin_dir, scratch.name)}", EXIT_LOAD, "'ljungcv' is not on PATH"),
            ("./ljungcv", f"{bin_dir}", EXIT_LOAD, relative),
            ("bin/ljungcv", f"{bin_dir}", EXIT_LOAD, relative),
        ]
        script = 'mount -t tmpfs none /proc && cd "$1" && PATH="$2" exec -a "$3" "$4" 10 0.05'
        for argv0, path, code, message in cases:
            with self.subTest(argv0=argv0, path=path):
                result = subprocess.run(["unshare", "-m", "bash", "-c", script, "_", scratch.name, path, argv0,
                                         LJUNGCV], capture_output=True, text=True, timeout=60, check=False)
                self.assertEqual(result.returncode, code, result.stderr)
                self.assertIn(message, result.stderr)
                if code == 0:
                    self.assertEqual(result.stdout.strip(), subprocess.run([LJUNGCV, "10", "0.05"], text=True,
                                     capture_output=True, check=True).stdout.strip())


if __name__ == "__main__":
    LJUNGCV = os.path.abspath(sys.argv.pop(1))
    unittest.main()
