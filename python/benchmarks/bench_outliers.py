"""The whole outlier procedure on 200 points of an AR(1) (phi 0.6) through ljungcv.outliers,
one call into the core, without and with three planted outliers (AO, LS, TC).

    build-python/venv/bin/python python/benchmarks/bench_outliers.py [--repeat R] [--old FILE]

Prints the median wall time of R calls per series and what was found. With
--old FILE, a scratch copy of the former route (statsmodels fits in Python
around the core's locate stage, python/src/ljungcv/_outliers.py before the
procedure moved into the core: `git show 021a079:python/src/ljungcv/_outliers.py
> FILE`) runs on the same series in the same run, alternating with the new
route, and the ratio of the medians is printed. The former route needs
statsmodels (Debian's python3-statsmodels).
"""

import argparse
import statistics
import time
import types
import warnings

import numpy as np

import ljungcv

N, PHI = 200, 0.6
PLANTED = (("AO", 50, 5.0), ("LS", 120, 4.0), ("TC", 160, 5.0))


def series(planted):
    rng = np.random.default_rng(2024)
    e = rng.standard_normal(N + 100)
    y = np.empty_like(e)
    y[0] = e[0]
    for t in range(1, y.size):
        y[t] = PHI * y[t - 1] + e[t]
    y = y[100:]
    for kind, at, size in planted:
        if kind == "AO":
            y[at] += size
        elif kind == "LS":
            y[at:] += size
        else:
            y[at:] += size * 0.7 ** np.arange(N - at)
    return y


def former_route(path):
    """The former module, loaded as a submodule of the installed package (it imports ._host)."""
    module = types.ModuleType("ljungcv._former_outliers")
    module.__package__ = "ljungcv"
    module.__file__ = str(path)
    with open(path, encoding="utf-8") as file:
        exec(compile(file.read(), str(path), "exec"), module.__dict__)
    return module.outliers


def timed(call, y):
    start = time.perf_counter()
    result = call(y, order=(1, 0, 0))
    return time.perf_counter() - start, result


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--repeat", type=int, default=21)
    parser.add_argument("--old", metavar="FILE", help="a copy of the former _outliers.py, to run beside")
    args = parser.parse_args()
    routes = {"core": ljungcv.outliers}
    if args.old:
        routes["former"] = former_route(args.old)
    warnings.simplefilter("ignore")  # the flags' warnings, statsmodels' notes on its optimiser
    for name, planted in (("none planted", ()), ("three planted", PLANTED)):
        y = series(planted)
        times = {route: [] for route in routes}
        found = {}
        for _ in range(args.repeat):
            for route, call in routes.items():  # alternating, so that load falls on both alike
                seconds, result = timed(call, y)
                times[route].append(seconds)
                found[route] = [(o.index, o.type) for o in result.outliers]
        medians = {route: statistics.median(values) for route, values in times.items()}
        line = ", ".join(f"{route} {medians[route] * 1e3:.1f} ms {found[route]}" for route in routes)
        if "former" in medians:
            line += f"; former / core = {medians['former'] / medians['core']:.1f}"
        print(f"{name} (n = {N}, median of {args.repeat}): {line}")


if __name__ == "__main__":
    main()
