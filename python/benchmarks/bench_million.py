"""One million corrected values from NumPy arrays: ljungcv.critical_value
against the same million through the C interface's many-values entry called
directly (ctypes, prepared arrays: what is left is the entry itself).

    build-python/venv/bin/python python/benchmarks/bench_million.py [--repeat R]

Prints the medians of R runs (CPU and wall time) and the ratio, whose target
is at most 1.3; exits 1 above it.
"""

import argparse
import statistics
import sys
import time

import numpy as np

import ljungcv
from ljungcv._host import host

COUNT = 1_000_000
TARGET = 1.3


def timed(call):
    wall, cpu = time.perf_counter(), time.process_time()
    call()
    return time.process_time() - cpu, time.perf_counter() - wall


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--repeat", type=int, default=7)
    repeat = parser.parse_args().repeat

    rng = np.random.default_rng(1)
    n = rng.integers(1, 10001, COUNT).astype(np.float64)
    alpha = rng.uniform(0.0, 0.1, COUNT)
    the_host = host()
    values = np.empty(COUNT)
    statuses = np.empty(COUNT, dtype=np.int32)

    def direct():
        the_host.many(the_host.handle, COUNT, n.ctypes.data, alpha.ctypes.data, b"C",
                      values.ctypes.data, statuses.ctypes.data)

    def package():
        return ljungcv.critical_value(n, alpha, "C")

    direct()
    if not np.array_equal(package().view(np.int64), np.where(statuses == 0, values, np.nan).view(np.int64)):
        sys.exit("bench_million: the package and the direct call disagree")
    runs = {"direct": [], "package": []}
    for _ in range(repeat):  # interleaved, so that load on the machine hits both alike
        runs["direct"].append(timed(direct))
        runs["package"].append(timed(package))
    medians = {name: [statistics.median(t[i] for t in times) for i in (0, 1)]
               for name, times in runs.items()}
    for name, (cpu, wall) in medians.items():
        print(f"{name:8} {cpu * 1e3:8.1f} ms CPU {wall * 1e3:8.1f} ms wall "
              f"({cpu * 1e9 / COUNT:.1f} ns a value)")
    ratio = medians["package"][0] / medians["direct"][0]
    print(f"package / direct (CPU): {ratio:.3f}  target <= {TARGET}")
    return 0 if ratio <= TARGET else 1


if __name__ == "__main__":
    sys.exit(main())
