"""The C interface and the command give the same value bits, status and
sensible-range verdict on one grid around the turn-down points, the same
stretches, the same explanations and the same module information.

Usage: test_agreement.py LJUNGCV LIBCVHOST [unittest options]
"""

import ctypes
import csv
import io
import json
import struct
import subprocess
import sys
import unittest

LJUNGCV = LIBCVHOST = None

COUNTS = [1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 14, 15, 19, 20, 39, 40, 41, 117, 118, 119, 152, 153, 154, 460, 461,
          462, 5037, 5038, 75599, 75600, 166727, 166728, 337413, 337414, 1383169, 1383170, 1000000]
LEVELS = [1e-6, 1e-4, 0.001, 0.005, 0.01, 0.025, 0.05, 0.1, 0.0999]
METHODS = ["C", "L"]


def bits(x):
    return struct.pack("<d", x)


class Agreement(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        lib = ctypes.CDLL(LIBCVHOST)
        lib.cvhost_open.restype = ctypes.c_void_p
        lib.cvhost_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_size_t]
        lib.cvhost_close.argtypes = [ctypes.c_void_p]
        lib.cvhost_assess_many.argtypes = [ctypes.c_void_p, ctypes.c_size_t, ctypes.POINTER(ctypes.c_double),
                                           ctypes.POINTER(ctypes.c_double), ctypes.c_char_p,
                                           ctypes.POINTER(ctypes.c_double), ctypes.POINTER(ctypes.c_int32),
                                           ctypes.POINTER(ctypes.c_int32), ctypes.POINTER(ctypes.c_int32)]
        lib.cvhost_limits.restype = ctypes.c_int32
        lib.cvhost_limits.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_double, ctypes.c_size_t,
                                      ctypes.POINTER(ctypes.c_double), ctypes.POINTER(ctypes.c_double),
                                      ctypes.POINTER(ctypes.c_int32), ctypes.POINTER(ctypes.c_size_t)]
        lib.cvhost_range_text.restype = ctypes.c_char_p
        lib.cvhost_explain.restype = ctypes.c_size_t
        lib.cvhost_explain.argtypes = [ctypes.c_void_p, ctypes.c_double, ctypes.c_double, ctypes.c_char_p,
                                       ctypes.c_int32, ctypes.c_int32, ctypes.c_int32, ctypes.c_char_p,
                                       ctypes.c_size_t]
        lib.cvhost_info_field.argtypes = [ctypes.c_void_p, ctypes.c_size_t, ctypes.POINTER(ctypes.c_char_p),
                                          ctypes.POINTER(ctypes.c_char_p)]
        lib.cvhost_module_info.restype = ctypes.c_size_t
        lib.cvhost_module_info.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_size_t]
        lib.cvhost_reach.restype = ctypes.c_int32
        lib.cvhost_reach.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_double, ctypes.c_double,
                                     ctypes.POINTER(ctypes.c_int32)] + [ctypes.POINTER(ctypes.c_double)] * 4 + [
                                     ctypes.c_char_p, ctypes.c_size_t]
        message = ctypes.create_string_buffer(512)
        cls.lib = lib
        cls.host = lib.cvhost_open(None, message, len(message))
        if not cls.host:
            raise RuntimeError(message.value.decode())

    @classmethod
    def tearDownClass(cls):
        cls.lib.cvhost_close(cls.host)

    def assess(self, method, points):
        count = len(points)
        n = (ctypes.c_double * count)(*[p[0] for p in points])
        alpha = (ctypes.c_double * count)(*[p[1] for p in points])
        values = (ctypes.c_double * count)()
        statuses, rejected, ranges = ((ctypes.c_int32 * count)() for _ in range(3))
        self.lib.cvhost_assess_many(self.host, count, n, alpha, method.encode(), values, statuses, rejected, ranges)
        return list(zip(values, statuses, ranges))

    def command(self, *args, stdin=None):
        result = subprocess.run([LJUNGCV, *args], input=stdin, capture_output=True, text=True, check=False)
        self.assertIn(result.returncode, (0, 1, 2), result.stderr)
        return result

    def test_values_statuses_and_verdicts_agree(self):
        points = [(n, alpha) for n in COUNTS for alpha in LEVELS]
        for method in METHODS:
            lines = "".join(f"{n} {alpha!r} {method}\n" for n, alpha in points)
            rows = list(csv.DictReader(io.StringIO(self.command("eval", stdin=lines).stdout)))
            table = list(csv.DictReader(io.StringIO(self.command(
                "table", "--method", method, "--format", "csv", "--n", ",".join(map(str, COUNTS)),
                "--alpha", ",".join(map(repr, LEVELS))).stdout)))
            self.assertEqual(len(rows), len(points))
            self.assertEqual(len(table), len(points))
            for (n, alpha), row, cell, (value, status, range_) in zip(points, rows, table, self.assess(method, points)):
                for source in (row, cell):
                    where = f"{method} n={n} alpha={alpha}: {source}"
                    self.assertEqual(int(source["status"]), status, where)
                    if status == 0:
                        self.assertEqual(bits(float(source["value"])), bits(value), where)
                        self.assertEqual(source["turned_down"] == "1", range_ != 0, where)

    def test_stretches_agree_with_limits(self):
        for method in METHODS:
            for alpha in (1e-6, 0.001, 0.05, 0.1):
                printed = self.command("limits", "--method", method, "--alpha", repr(alpha)).stdout.splitlines()[1:]
                capacity = 64
                first, last = (ctypes.c_double * capacity)(), (ctypes.c_double * capacity)()
                ranges, count = (ctypes.c_int32 * capacity)(), ctypes.c_size_t()
                status = self.lib.cvhost_limits(self.host, method.encode(), alpha, capacity, first, last, ranges,
                                                ctypes.byref(count))
                self.assertEqual(status, 0)
                got = [f"{int(first[i])} {int(last[i])} {self.lib.cvhost_range_text(ranges[i]).decode()}"
                       for i in range(count.value)]
                want = [" ".join(line.split(None, 4)[2:]) for line in printed]
                self.assertEqual(got, want, f"{method} {alpha}")
        status = self.lib.cvhost_limits(self.host, b"X", 0.05, 0, None, None, None, None)
        self.assertEqual(status, 120836)
        self.assertEqual(self.lib.cvhost_limits(self.host, None, 0.2, 0, None, None, None, None), 120836)

    def test_the_inverse_look_up_is_the_commands(self):
        thresholds, levels = [1.9, 3.5, 4.9, 6.0], [0.1, 0.05, 0.001, 1e-6]
        document = json.loads(self.command("reach", ",".join(map(repr, thresholds)), "--method", "both", "--alpha",
                                           ",".join(map(repr, levels)), "--format", "json").stdout)
        rows = document["rows"]
        self.assertEqual(len(rows), len(thresholds) * len(levels) * 2)
        names = {0: "crosses", 1: "from_start", 2: "never"}
        for row in rows:
            reach, note = ctypes.c_int32(), ctypes.create_string_buffer(512)
            n, value, before, outside = (ctypes.c_double() for _ in range(4))
            status = self.lib.cvhost_reach(self.host, row["method"].encode(), row["alpha"], row["threshold"],
                                           ctypes.byref(reach), ctypes.byref(n), ctypes.byref(value),
                                           ctypes.byref(before), ctypes.byref(outside), note, len(note))
            where = f"{row}"
            self.assertEqual(status, 0, where)
            self.assertEqual(names[reach.value], row["reach"], where)
            for got, want in ((n, row["n"]), (value, row["value"]), (before, row["value_before"]),
                              (outside, row["outside_n"])):
                if want is None:  # NaN or the host's missing value
                    self.assertNotEqual(got.value, got.value, where)
                else:
                    self.assertEqual(bits(got.value), bits(float(want)), where)
            self.assertEqual(note.value.decode(), row["note"], where)
        self.assertEqual({row["reach"] for row in rows}, set(names.values()))
        refused = [(b"X", 0.05, 3.5), (None, 0.2, 3.5), (None, 0.05, float("nan"))]
        for method, alpha, threshold in refused:
            self.assertEqual(self.lib.cvhost_reach(self.host, method, alpha, threshold, None, None, None, None, None,
                                                   None, 0), 120836)
        self.assertEqual(self.lib.cvhost_reach(None, None, 0.05, 3.5, None, None, None, None, None, None, 0), 120833)

    def test_explanations_are_the_commands(self):
        cases = [("1000000", "0.001", "C"), ("7", "0.05", "L"), ("1", "0.05", "L"), ("10", "0.2", "C"),
                 ("10", "0.05", "X\x1b[31m"), ("10", "0", "C"), ("400000", "0.05", "CORR")]
        for n, alpha, method in cases:
            result = self.command(n, alpha, method)
            (value, status, range_), = self.assess(method, [(float(n), float(alpha))])
            rejected = 0
            if status == 120836:
                rejected = 2 if float(alpha) > 0.1 else 3
            buffer = ctypes.create_string_buffer(1024)
            length = self.lib.cvhost_explain(self.host, float(n), float(alpha), method.encode(), status, rejected,
                                             range_, buffer, len(buffer))
            said = buffer.value.decode()
            self.assertEqual(length, len(said))
            self.assertNotIn("\x1b", said)
            message = result.stderr.strip().removeprefix("ljungcv: ").removeprefix("note: ")
            self.assertEqual(said, message, (n, alpha, method))

    def test_information_fields_are_the_info_text(self):
        size = self.lib.cvhost_module_info(self.host, None, 0)
        text = ctypes.create_string_buffer(size + 1)
        self.lib.cvhost_module_info(self.host, text, size + 1)
        fields, index = [], 0
        name, value = ctypes.c_char_p(), ctypes.c_char_p()
        while self.lib.cvhost_info_field(self.host, index, ctypes.byref(name), ctypes.byref(value)):
            fields.append(f"{name.value.decode()}: {value.value.decode()}")
            index += 1
        self.assertFalse(self.lib.cvhost_info_field(self.host, index, ctypes.byref(name), ctypes.byref(value)))
        self.assertIsNone(name.value)
        self.assertEqual(fields, text.value.decode().splitlines())
        self.assertIn("function: LJUNGCV 2 to 3 arguments (module cvmodule)", fields)


if __name__ == "__main__":
    LJUNGCV, LIBCVHOST = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1] + sys.argv[3:])
