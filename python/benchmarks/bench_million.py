"""One million corrected values from NumPy arrays through ljungcv.critical_value,
bare (check=False) and assessed (the default), each against the same million
through the C interface called directly (cvhost_ljungcv_many and
cvhost_assess_many; ctypes, prepared arrays: what is left is the entry itself).

    build-python/venv/bin/python python/benchmarks/bench_million.py [--repeat R]

Prints the medians of R runs (CPU and wall time), the package's cost over
each entry (target at most 1.3; exits 1 above it) and what the assessment
costs over a bare batch (the interface's goal is at most 2).
"""

import argparse
import statistics
import sys
import time
import warnings

import numpy as np

import ljungcv
from ljungcv._host import host

COUNT = 1_000_000
TARGETS = {("package", "direct"): 1.3, ("checked", "assessed"): 1.3}


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
    verdicts = np.empty(COUNT, dtype=np.int32)

    def direct():
        the_host.many(the_host.handle, COUNT, n.ctypes.data, alpha.ctypes.data, b"C",
                      values.ctypes.data, statuses.ctypes.data)

    def assessed():
        the_host.assess_many(the_host.handle, COUNT, n.ctypes.data, alpha.ctypes.data, b"C",
                             values.ctypes.data, statuses.ctypes.data, None, verdicts.ctypes.data)

    def package():
        return ljungcv.critical_value(n, alpha, "C", check=False)

    def checked():
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", ljungcv.OutOfRangeWarning)
            return ljungcv.critical_value(n, alpha, "C")

    direct()
    if not np.array_equal(package().view(np.int64), np.where(statuses == 0, values, np.nan).view(np.int64)):
        sys.exit("bench_million: the package and the direct call disagree")
    runs = {"direct": [], "package": [], "assessed": [], "checked": []}
    for _ in range(repeat):  # interleaved, so that load on the machine hits all alike
        for name, call in (("direct", direct), ("package", package), ("assessed", assessed),
                           ("checked", checked)):
            runs[name].append(timed(call))
    medians = {name: [statistics.median(t[i] for t in times) for i in (0, 1)]
               for name, times in runs.items()}
    for name, (cpu, wall) in medians.items():
        print(f"{name:8} {cpu * 1e3:8.1f} ms CPU {wall * 1e3:8.1f} ms wall "
              f"({cpu * 1e9 / COUNT:.1f} ns a value)")
    failed = 0
    for (slow, fast), target in TARGETS.items():
        ratio = medians[slow][0] / medians[fast][0]
        print(f"{slow} / {fast} (CPU): {ratio:.3f}  target <= {target}")
        failed |= ratio > target
    print(f"checked / package (CPU): {medians['checked'][0] / medians['package'][0]:.3f}  "
          "(the assessment's cost; the interface's goal is at most 2)")
    return int(failed)


if __name__ == "__main__":
    sys.exit(main())
