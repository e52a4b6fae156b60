#!/usr/bin/python3
"""Size and power of the outlier test at LJUNGCV's critical value: a study anyone can rerun.

Size: the share of simulated series WITHOUT outliers in which the procedure
finds one, for two models (AR(1), phi 0.5, fitted as ARIMA(1,0,0) with a
mean; IMA(1,1), y_t - y_{t-1} = e_t - 0.6 e_{t-1}, fitted as ARIMA(0,1,1)),
n = 50, 100, 200, 500, and five thresholds: LJUNGCV(m, alpha, method) for
alpha 0.05 and 0.01 and methods C and L (m the number of residuals tested,
n - d), and a fixed 3.5. Every threshold runs on the same series and the
same first fit.

Power: the share of series with one outlier of 3.5, 4.5 or 6 innovation
standard deviations (AO, LS or TC with delta 0.7) at the middle time in
which the procedure finds an outlier at that time with that type (for a
level shift also within one step), at LJUNGCV(m, 0.05, "C").

--stage full (the default) runs the whole procedure of ljungcv.outliers
(fit, locate, refit, drop); --stage locate stops after the locate stage on
the first fit's residuals. Types looked for: AO, LS, TC. Seeds are fixed:
the same arguments give the same table. Run with the package installed:

    /usr/bin/python3 bench/outlier_study.py [--series 500] [--stage full] [--out table.md]
"""

from __future__ import annotations

import argparse
import math
import sys
import time
import warnings

import numpy as np

import ljungcv
from ljungcv import _outliers as procedure  # the procedure's steps, to share one first fit among thresholds

MODELS = {"AR(1) phi 0.5": (1, 0, 0), "IMA(1,1) theta 0.6": (0, 1, 1)}
COUNTS = (50, 100, 200, 500)
THRESHOLDS = (("C", 0.05), ("L", 0.05), ("C", 0.01), ("L", 0.01), ("3.5", None))
SIZES = (3.5, 4.5, 6.0)
POWER_TYPES = ("AO", "LS", "TC")
DELTA = 0.7
BURN_IN = 100


def simulate(model: str, n: int, rng: np.random.Generator) -> np.ndarray:
    e = rng.standard_normal(n + BURN_IN)
    if model.startswith("AR"):
        y = np.empty_like(e)
        y[0] = e[0]
        for t in range(1, y.size):
            y[t] = 0.5 * y[t - 1] + e[t]
        return y[BURN_IN:]
    steps = e[1:] - 0.6 * e[:-1]
    return np.cumsum(steps)[-n:]


def implant(y: np.ndarray, kind: str, size: float, at: int) -> np.ndarray:
    y = y.copy()
    if kind == "AO":
        y[at] += size
    elif kind == "LS":
        y[at:] += size
    else:
        y[at:] += size * DELTA ** np.arange(y.size - at)
    return y


def run(arima, y, order, fit, method, alpha, stage):
    """The (time, type code) pairs found at one threshold."""
    codes = procedure._type_set(("AO", "LS", "TC"))
    cval = 3.5 if alpha is None else math.nan
    if stage == "locate":
        d = order[1]
        residuals = np.ascontiguousarray(np.asarray(fit.resid, dtype=np.float64)[d:])
        pi = procedure._pi_weights(fit, d, residuals.size - 1)
        found, _ = procedure._locate(residuals, pi, codes, DELTA, alpha or 0.05, method if alpha else None, cval)
        return [(time + d, code) for time, code, _, _ in found]
    chosen, _, _, _, _ = procedure._procedure(arima, y, order, fit, codes, DELTA, alpha or 0.05,
                                              method if alpha else None, cval)
    return chosen


def margin(share: float, count: int) -> float:
    return 1.96 * math.sqrt(max(share * (1 - share), 1.0 / count) / count)


def size_table(arima, series: int, stage: str) -> list:
    rows = []
    for model_number, (model, order) in enumerate(MODELS.items()):
        for n in COUNTS:
            rng = np.random.default_rng([2026, 1, model_number, n])
            alarms = np.zeros(len(THRESHOLDS), dtype=int)
            for _ in range(series):
                y = simulate(model, n, rng)
                fit = procedure._fit(arima, y, order)
                for k, (method, alpha) in enumerate(THRESHOLDS):
                    alarms[k] += bool(run(arima, y, order, fit, method, alpha, stage))
            rows.append((model, n, alarms / series))
            print(f"size {model} n {n}: " + " ".join(f"{share:.3f}" for share in alarms / series),
                  file=sys.stderr, flush=True)
    return rows


def power_table(arima, series: int, stage: str, n: int, models, kinds) -> list:
    rows = []
    at = n // 2
    for model_number, (model, order) in enumerate(MODELS.items()):
        for kind_number, kind in enumerate(POWER_TYPES):
            if model not in models or kind not in kinds:
                continue  # the seeds stay those of the whole table
            code = ljungcv.OUTLIER_TYPES[kind]
            for size_number, size in enumerate(SIZES):
                rng = np.random.default_rng([2026, 2, model_number, kind_number, size_number])
                exact = near = 0
                for _ in range(series):
                    y = implant(simulate(model, n, rng), kind, size, at)
                    fit = procedure._fit(arima, y, order)
                    found = run(arima, y, order, fit, "C", 0.05, stage)
                    exact += (at, code) in found
                    near += any(c == code and abs(t - at) <= 1 for t, c in found)
                rows.append((model, kind, size, exact / series, near / series))
                print(f"power {model} {kind} {size}: {exact / series:.3f} {near / series:.3f}",
                      file=sys.stderr, flush=True)
    return rows


def markdown(size_rows, power_rows, series, stage, n_power, seconds) -> str:
    what = ("the whole procedure (fit, locate, refit, drop)" if stage == "full"
            else "the locate stage on the first fit's residuals")
    lines = []
    if size_rows:
        lines += size_markdown(size_rows, series, what)
    if power_rows:
        lines += power_markdown(power_rows, series, n_power, what)
    lines += [f"({seconds:.0f} s)"]
    return "\n".join(lines) + "\n"


def size_markdown(size_rows, series, what) -> list:
    lines = [f"False-alarm share on series without outliers ({series} series a cell, {what}; "
             "± the 95% binomial margin):", ""]
    heads = [f"{m} {a}" if a else "fixed 3.5" for m, a in THRESHOLDS]
    lines.append("| model | n | " + " | ".join(heads) + " |")
    lines.append("|---|---:|" + "---:|" * len(heads))
    for model, n, shares in size_rows:
        cells = [f"{p:.3f} ± {margin(p, series):.3f}" for p in shares]
        lines.append(f"| {model} | {n} | " + " | ".join(cells) + " |")
    return lines + [""]


def power_markdown(power_rows, series, n_power, what) -> list:
    lines = [f"Share of series with one outlier at t = {n_power // 2} (n = {n_power}) in which it is found at "
              f"its time with its type, at LJUNGCV(m, 0.05, \"C\") ({series} series a cell, {what}; in brackets: "
              "within one step):", ""]
    lines.append("| model | type | " + " | ".join(f"{s:g} sigma" for s in SIZES) + " |")
    lines.append("|---|---|" + "---:|" * len(SIZES))
    for model in MODELS:
        for kind in POWER_TYPES:
            cells = [f"{exact:.3f} ({near:.3f})" for m, k, s, exact, near in power_rows if m == model and k == kind]
            if cells:
                lines.append(f"| {model} | {kind} | " + " | ".join(cells) + " |")
    return lines + [""]


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--series", type=int, default=500, help="series a cell (default 500)")
    parser.add_argument("--stage", choices=("full", "locate"), default="full")
    parser.add_argument("--power-n", type=int, default=150, help="length of the series with an outlier")
    parser.add_argument("--part", choices=("size", "power", "both"), default="both",
                        help="which table to compute (default both)")
    parser.add_argument("--model", choices=("ar", "ima", "both"), default="both",
                        help="the models of the power table (default both)")
    parser.add_argument("--types", default="AO,LS,TC", help="the outlier types of the power table")
    parser.add_argument("--out", help="also write the table to this file")
    args = parser.parse_args()
    if args.series < 1 or args.power_n < 10:
        parser.error("--series must be positive and --power-n at least 10")
    arima = procedure._arima_class()
    warnings.simplefilter("ignore")  # statsmodels' convergence notes on simulated series
    start = time.monotonic()
    size_rows = size_table(arima, args.series, args.stage) if args.part != "power" else []
    models = [name for name in MODELS if args.model == "both" or name.lower().startswith(args.model)]
    kinds = args.types.split(",")
    if not set(kinds) <= set(POWER_TYPES):
        parser.error(f"--types takes {','.join(POWER_TYPES)}")
    power_rows = (power_table(arima, args.series, args.stage, args.power_n, models, kinds)
                  if args.part != "size" else [])
    text = markdown(size_rows, power_rows, args.series, args.stage, args.power_n, time.monotonic() - start)
    sys.stdout.write(text)
    if args.out:
        with open(args.out, "w", encoding="utf-8") as out:
            out.write(text)


if __name__ == "__main__":
    main()
