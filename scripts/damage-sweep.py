#!/usr/bin/python3
"""Every single-byte change of the built module's loader-facing parts.

Each byte of the ELF header, the program headers, the dynamic section and
the dynamic symbol, string, hash and version tables and relocations is
changed in turn (XOR 0xFF, then XOR 0x01). Each damaged copy is loaded
through `ljungcv --module FILE --exact 10 0.05` and through libcvhost's
cvhost_open (one driver process, restarted when it dies). Sound outcomes:
a refusal naming the file (exit 4; NULL and a message) or a working load
giving the good module's value bit for bit. Anything else (a signal, an
abort, a hang, another exit code, a wrong value, a message without the
file's name, stray output) is counted as a failure. The two interfaces
may differ: what a damaged table resolves to depends on what else the
process has loaded; the exit code is 1 if
there is one.

usage: scripts/damage-sweep.py [--build DIR] [--step K] [--xor 255,1]
"""
import argparse
import collections
import os
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import time

REGIONS = (".dynamic", ".dynsym", ".dynstr", ".hash", ".gnu.hash", ".gnu.version", ".gnu.version_d",
           ".gnu.version_r", ".rela.dyn", ".rela.plt")
LIMIT = 30  # seconds a load may take before it counts as a hang

DRIVER = r'''
import ctypes, struct, sys
kit = ctypes.CDLL(sys.argv[1])
kit.cvhost_open.restype = ctypes.c_void_p
kit.cvhost_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_size_t]
kit.cvhost_ljungcv.argtypes = [ctypes.c_void_p, ctypes.c_double, ctypes.c_double, ctypes.c_char_p,
                               ctypes.POINTER(ctypes.c_double), ctypes.POINTER(ctypes.c_int)]
kit.cvhost_close.argtypes = [ctypes.c_void_p]
for line in sys.stdin:
    message = ctypes.create_string_buffer(4096)
    handle = kit.cvhost_open(line.rstrip("\n").encode(), message, 4096)
    if not handle:
        reply = "refused " + message.value.decode(errors="replace")
    else:
        value = ctypes.c_double()
        status = kit.cvhost_ljungcv(handle, 10.0, 0.05, None, ctypes.byref(value), None)
        kit.cvhost_close(handle)
        reply = "value %d %016x" % (status, struct.unpack("<Q", struct.pack("<d", value.value))[0])
    sys.stdout.write(reply.replace("\n", " ") + "\n")
    sys.stdout.flush()
'''


def regions(data):
    """[start, end) byte ranges of the parts the loader reads."""
    phoff, shoff = struct.unpack_from("<QQ", data, 32)
    phentsize, phnum, shentsize, shnum, shstrndx = struct.unpack_from("<HHHHH", data, 54)
    found = [("ELF header", 0, 64), ("program headers", phoff, phoff + phentsize * phnum)]
    names_at = struct.unpack_from("<Q", data, shoff + shentsize * shstrndx + 24)[0]
    for i in range(shnum):
        name, _, _, _, offset, size = struct.unpack_from("<IIQQQQ", data, shoff + shentsize * i)
        end = data.index(b"\0", names_at + name)
        label = data[names_at + name:end].decode()
        if label in REGIONS:
            found.append((label, offset, offset + size))
    return found


def reason_of(message):
    """What refused a load, in short."""
    for part, reason in (("did not finish", "trial load stopped after the time limit"),
                         ("ended with signal", "trial load ended by a signal"),
                         ("ended with exit status", "trial load exited (the system loader's abort)"),
                         ("damaged:", "header check"), ("not a ", "header check")):
        if part in message:
            return reason
    return "loader's or module's own refusal"


class Driver:
    """A process that opens files through libcvhost, one per line."""

    def __init__(self, kit):
        self.kit = kit
        self.process = None

    def ask(self, path):
        if self.process is None:
            self.process = subprocess.Popen([sys.executable, "-c", DRIVER, self.kit], stdin=subprocess.PIPE,
                                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.process.stdin.write(path + "\n")
        self.process.stdin.flush()
        ready, _, _ = select.select([self.process.stdout], [], [], LIMIT)
        line = self.process.stdout.readline() if ready else ""
        if line:
            return line.rstrip("\n")
        self.process.kill()
        status = self.process.wait()
        self.process = None
        return "hang" if not ready else "died %d" % status

    def close(self):
        if self.process is not None:
            self.process.stdin.close()
            errors = self.process.stderr.read()
            self.process.wait()
            return errors
        return ""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--step", type=int, default=1, help="change every K-th byte")
    parser.add_argument("--xor", default="255,1")
    options = parser.parse_args()
    tool = os.path.join(options.build, "bin", "ljungcv")
    module = os.path.join(options.build, "lib", "libcvmodule.so")
    kit = os.path.join(options.build, "lib", "libcvhost.so")
    with open(module, "rb") as f:
        original = f.read()
    good = subprocess.run([tool, "--module", module, "--exact", "10", "0.05"], capture_output=True, text=True,
                          check=True).stdout
    driver = Driver(kit)
    good_value = driver.ask(module)
    assert good_value.startswith("value 0 "), good_value

    scratch = tempfile.mkdtemp(prefix="cvmodule-sweep-")
    cases = 0
    reasons = collections.Counter()
    counts = {interface: {"refused": 0, "loaded": 0, "failed": 0} for interface in ("command", "cvhost_open")}
    started = time.monotonic()
    try:
        for label, start, end in regions(original):
            for at in range(start, end, options.step):
                for xor in (int(x) for x in options.xor.split(",")):
                    damaged = bytearray(original)
                    damaged[at] ^= xor
                    path = os.path.join(scratch, "byte-%d-xor-%d.so" % (at, xor))
                    with open(path, "wb") as f:
                        f.write(damaged)
                    cases += 1
                    outcomes = []
                    try:
                        run = subprocess.run([tool, "--module", path, "--exact", "10", "0.05"], capture_output=True,
                                             text=True, errors="replace", timeout=LIMIT, stdin=subprocess.DEVNULL)
                        if run.returncode == 4 and run.stdout == "" and run.stderr.count("\n") == 1 and path in run.stderr:
                            outcomes.append("refused")
                        elif run.returncode == 0 and run.stdout == good and run.stderr == "":
                            outcomes.append("loaded")
                        else:
                            outcomes.append("command: exit %d %r" % (run.returncode, run.stderr[:300]))
                    except subprocess.TimeoutExpired:
                        outcomes.append("command: hang")
                    reply = driver.ask(path)
                    if reply.startswith("refused ") and path in reply:
                        outcomes.append("refused")
                        reasons[reason_of(reply)] += 1
                    elif reply == good_value:
                        outcomes.append("loaded")
                    else:
                        outcomes.append("cvhost_open: " + reply[:200])
                    for interface, outcome in zip(("command", "cvhost_open"), outcomes):
                        if outcome in ("refused", "loaded"):
                            counts[interface][outcome] += 1
                        else:
                            counts[interface]["failed"] += 1
                            print("%s byte %d xor 0x%02x: %s" % (label, at, xor, outcome))
                    os.unlink(path)
        errors = driver.close()
        if errors:
            counts["cvhost_open"]["failed"] += 1
            print("the driver wrote to stderr: " + errors[:400])
    finally:
        shutil.rmtree(scratch)
    print("%d cases in %.0f s" % (cases, time.monotonic() - started))
    for interface, count in counts.items():
        print("%s: %d refused naming the file, %d loaded and computed the good value, %d failed" %
              (interface, count["refused"], count["loaded"], count["failed"]))
    print("cvhost_open's refusals: " + ", ".join("%d %s" % (n, reason) for reason, n in reasons.most_common()))
    return 1 if any(count["failed"] for count in counts.values()) else 0


if __name__ == "__main__":
    sys.exit(main())
