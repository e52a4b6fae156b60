"""Many series through ljungcv.screen: 10,000 seeded series of the airline model,
(1 - B)(1 - B^12) y = (1 - 0.4 B)(1 - 0.6 B^12) a, 144 monthly values each, as
one wide DataFrame, under the order (0,1,1)(0,1,1)12 with the default options,
with each worker count asked for.

    build-python/venv/bin/python python/benchmarks/bench_screen.py [--series N] [--workers 1,2] [--repeat R]

Prints per run the load average before it (what else the machine was
doing), the wall time, the series per second, how much of the time the
core's batch call took (the rest is reading the table and building the two
DataFrames) and the CPU time of all the process's threads; then the speed-up of each count over the first, from the best
run of each, and whether every count gave the same frames.
"""

import argparse
import os
import time
import warnings

import numpy as np
import pandas as pd

import ljungcv
from ljungcv import _screen

N, SEASON = 144, 12


def airline_table(count, seed=1000):
    """count series as the columns of a wide frame, all drawn from one seeded generator."""
    a = np.random.default_rng(seed).standard_normal((count, N + SEASON + 1))
    u = a.copy()
    u[:, 1:] -= 0.4 * a[:, :-1]
    u[:, SEASON:] -= 0.6 * a[:, :-SEASON]
    u[:, SEASON + 1:] += 0.24 * a[:, :-SEASON - 1]
    y = np.zeros_like(u)
    for t in range(u.shape[1]):  # undo (1 - B)(1 - B^12), every series at once
        y[:, t] = u[:, t]
        if t >= 1:
            y[:, t] += y[:, t - 1]
        if t >= SEASON:
            y[:, t] += y[:, t - SEASON]
        if t >= SEASON + 1:
            y[:, t] -= y[:, t - SEASON - 1]
    months = pd.period_range("2001-01", periods=N, freq="M")
    return pd.DataFrame(y[:, -N:].T, index=months, columns=[f"s{i:05d}" for i in range(count)])


class CoreTime:
    """Adds up the wall time spent in the core's batch calls."""

    def __init__(self):
        self.seconds = 0.0
        self._batch = _screen._batch

    def __call__(self, *args):
        start = time.perf_counter()
        try:
            return self._batch(*args)
        finally:
            self.seconds += time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--series", type=int, default=10_000)
    parser.add_argument("--workers", default="1,2")
    parser.add_argument("--repeat", type=int, default=1)
    args = parser.parse_args()
    warnings.simplefilter("ignore")
    table = airline_table(args.series)
    best, frames = {}, {}
    for _ in range(args.repeat):
        for workers in (int(w) for w in args.workers.split(",")):
            load = " ".join(f"{x:.2f}" for x in os.getloadavg())
            core = _screen._batch = CoreTime()
            start, cpu = time.perf_counter(), time.process_time()
            found = ljungcv.screen(table, (0, 1, 1), (0, 1, 1, 12), workers=workers)
            seconds, cpu = time.perf_counter() - start, time.process_time() - cpu
            _screen._batch = core._batch
            best[workers] = min(best.get(workers, seconds), seconds)
            frames[workers] = found
            print(f"workers {workers}: {seconds:.2f} s, {args.series / seconds:,.0f} series/s, "
                  f"core's batch {core.seconds:.2f} s, CPU {cpu:.2f} s; {len(found.outliers)} outliers, "
                  f"{(found.status.status != 'ok').sum()} failed; load before {load}")
    first = next(iter(best))
    for workers, seconds in best.items():
        print(f"workers {workers}: best {seconds:.2f} s, {args.series / seconds:,.0f} series/s, "
              f"speed-up {best[first] / seconds:.2f}")
    same = all(f.outliers.equals(frames[first].outliers) and f.status.equals(frames[first].status)
               for f in frames.values())
    print("every worker count gave the same frames" if same else "the frames DIFFER between worker counts")


if __name__ == "__main__":
    main()
