#!/usr/bin/python3
"""How ljungcv.arima's fits stand against statsmodels' SARIMAX and R's
stats::arima(method = "ML"), run as peers, over many seeded series a model.

For each model it reports the share of series where our log-likelihood at
our estimate is at least the better peer's less 1e-6 relative, the share of
series where both peers agree on every coefficient to 1e-3, the share of
those where we agree with them too, and the mean time of a fit by each.

The peers fit the differenced series (with the mean as a regressor when
d + D = 0): that is the likelihood we maximise, while both treat the
integrated states of an undifferenced series their own way (statsmodels by
a diffuse or approximate diffuse prior, R by a large-variance prior), which
changes their log-likelihood's constant.

    nice /usr/bin/python3 bench/fit_study.py [--series 200] [--seed 1] [--model airline ...]

Needs the ljungcv package installed (or on PYTHONPATH), statsmodels and
Rscript. A benchmark, not a test: it takes several minutes.
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile
import time
import warnings

import numpy as np

import ljungcv

RELATIVE = 1e-6
AGREE = 1e-3
# name, order, seasonal order, AR and MA coefficients of the errors (with the
# seasonal ones multiplied out), n, regressors, share missing
MODELS = [
    ("AR(2)", (2, 0, 0), (0, 0, 0, 0), (0.6, -0.3), (), 150, 0, 0.0),
    ("ARMA(1,1)", (1, 0, 1), (0, 0, 0, 0), (0.7,), (0.4,), 150, 0, 0.0),
    ("ARIMA(0,1,1)", (0, 1, 1), (0, 0, 0, 0), (), (-0.5,), 150, 0, 0.0),
    ("airline", (0, 1, 1), (0, 1, 1, 12), (), "airline", 144, 0, 0.0),
    ("regression, AR(1)", (1, 0, 0), (0, 0, 0, 0), (0.5,), (), 120, 2, 0.0),
    ("AR(1), 5 % missing", (1, 0, 0), (0, 0, 0, 0), (0.7,), (), 160, 0, 0.05),
]

R_SCRIPT = r"""
args <- commandArgs(TRUE)
lines <- readLines(args[1])
out <- character(0)
for (line in lines) {
  f <- strsplit(line, " ", fixed = TRUE)[[1]]
  o <- as.integer(f[1:7]); k <- as.integer(f[8]); n <- as.integer(f[9]); mean <- f[10] == "1"
  v <- suppressWarnings(as.numeric(f[-(1:10)]))  # "NA" is a missing value
  z <- v[1:n]
  xreg <- if (k > 0) matrix(v[(n + 1):(n + n * k)], n, k) else NULL
  started <- proc.time()[["elapsed"]]
  fit <- tryCatch(suppressWarnings(arima(z, order = o[1:3], seasonal = list(order = o[4:6], period = o[7]),
                                   xreg = xreg, include.mean = mean, method = "ML")), error = function(e) NULL)
  took <- proc.time()[["elapsed"]] - started
  out <- c(out, if (is.null(fit)) paste("NA", took) else
    paste(sprintf("%.17g", c(fit$loglik, took, coef(fit))), collapse = " "))
}
writeLines(out, args[2])
"""


def simulate(rng, n, ar, ma, burn=100):
    e = rng.standard_normal(n + burn)
    y = np.zeros(n + burn)
    for t in range(n + burn):
        y[t] = e[t] + sum(a * y[t - i - 1] for i, a in enumerate(ar) if t > i) \
            + sum(b * e[t - j - 1] for j, b in enumerate(ma) if t > j)
    return y[burn:]


def integrate(x, lag=1):
    y = np.array(x, dtype=float)
    for t in range(lag, len(y)):
        y[t] += y[t - lag]
    return y


def series(rng, model):
    name, order, seasonal, ar, ma, n, k, missing = model
    if ma == "airline":
        e = rng.standard_normal(n + 13)
        u = np.array([e[t] - 0.4 * e[t - 1] - 0.6 * e[t - 12] + 0.24 * e[t - 13] for t in range(13, n + 13)])
        return integrate(integrate(u, 12), 1) + 100.0, None
    u = simulate(rng, n, ar, ma)
    y = integrate(u) if order[1] == 1 else u + 5.0
    x = None
    if k:
        x = rng.standard_normal((n, k))
        y = y + x @ np.linspace(1.5, -0.8, k)
    if missing:
        y[rng.choice(n, size=int(round(missing * n)), replace=False)] = np.nan
    return y, x


def differenced(y, order, seasonal):
    for _ in range(order[1]):
        y = y[1:] - y[:-1]
    for _ in range(seasonal[1]):
        y = y[seasonal[3]:] - y[:-seasonal[3]]
    return y


def our_names_in_peer_order(fit, order, seasonal, k):
    """Our coefficient names in statsmodels' and R's orders."""
    arma = [f"ar{i + 1}" for i in range(order[0])] + [f"ma{i + 1}" for i in range(order[2])] + \
        [f"sar{i + 1}" for i in range(seasonal[0])] + [f"sma{i + 1}" for i in range(seasonal[2])]
    regression = (["intercept"] if order[1] + seasonal[1] == 0 else []) + [f"x{j + 1}" for j in range(k)]
    return arma, regression


def statsmodels_fit(z, X, order, seasonal):
    from statsmodels.tsa.statespace.sarimax import SARIMAX
    started = time.perf_counter()
    model = SARIMAX(z, exog=X, order=(order[0], 0, order[2]), seasonal_order=(seasonal[0], 0, seasonal[2], seasonal[3]))
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        fit = model.fit(disp=False, maxiter=500)
    took = time.perf_counter() - started
    params = np.asarray(fit.params)[:-1]  # sigma2 last
    kx = 0 if X is None else X.shape[1]
    return fit.llf, took, np.r_[params[kx:], params[:kx]]  # ARMA first, then the regression, as R's


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--series", type=int, default=200)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--model", action="append", help="only the models of these names (default: all)")
    args = parser.parse_args()
    rows = []
    for m, model in enumerate(MODELS):
        if args.model and model[0] not in args.model:
            continue
        name, order, seasonal = model[:3]
        rng = np.random.default_rng([args.seed, m])
        ours, sm, r_lines = [], [], []
        for _ in range(args.series):
            y, x = series(rng, model)
            started = time.perf_counter()
            fit = ljungcv.arima(y, order=order, seasonal_order=seasonal, exog=x)
            took = time.perf_counter() - started
            arma, regression = our_names_in_peer_order(fit, order, seasonal, model[6])
            values = dict(zip(fit.param_names, fit.params))
            ours.append((fit.llf, took, np.array([values[v] for v in arma + regression])))
            lost = len(y) - len(differenced(y, order, seasonal))
            z = differenced(y, order, seasonal)
            columns = [] if x is None else [x[lost:]]
            if order[1] + seasonal[1] == 0:
                columns.insert(0, np.ones((len(z), 1)))
            X = np.hstack(columns) if columns else None
            sm.append(statsmodels_fit(z, X, order, seasonal))
            kx = 0 if x is None else x.shape[1]
            r_order = [order[0], 0, order[2], seasonal[0], 0, seasonal[2], max(seasonal[3], 1)]
            values = list(z) + ([] if x is None else list(x[lost:].ravel(order="F")))
            r_lines.append(" ".join(map(str, r_order + [kx, len(z), int(order[1] + seasonal[1] == 0)]))
                           + " " + " ".join("NA" if np.isnan(v) else repr(float(v)) for v in values))
        with tempfile.TemporaryDirectory() as work:
            source, script, result = (os.path.join(work, f) for f in ("in.txt", "fit.R", "out.txt"))
            with open(source, "w") as f:
                f.write("\n".join(r_lines) + "\n")
            with open(script, "w") as f:
                f.write(R_SCRIPT)
            subprocess.run(["Rscript", "--vanilla", script, source, result], check=True)
            with open(result) as f:
                r = []
                for line in f.read().split("\n")[:args.series]:
                    v = line.split()
                    r.append((float("nan"), float(v[1]), None) if v[0] == "NA" else
                             (float(v[0]), float(v[1]), np.array([float(t) for t in v[2:]])))
        at_least, both_agree, we_agree = 0, 0, 0
        for (llf, _, b), (sm_llf, _, sm_b), (r_llf, _, r_b) in zip(ours, sm, r):
            best = np.nanmax([sm_llf, r_llf])
            at_least += llf >= best - RELATIVE * abs(best)
            if r_b is not None and len(r_b) == len(sm_b) and np.all(np.abs(r_b - sm_b) <= AGREE):
                both_agree += 1
                we_agree += bool(np.all(np.abs(b - sm_b) <= AGREE) and np.all(np.abs(b - r_b) <= AGREE))
        row = {"model": name, "series": args.series, "loglik_at_least": at_least / args.series,
               "peers_agree": both_agree / args.series, "we_agree_where_peers_do": we_agree / max(both_agree, 1),
               "ours_ms": 1e3 * np.mean([o[1] for o in ours]), "statsmodels_ms": 1e3 * np.mean([s[1] for s in sm]),
               "r_ms": 1e3 * np.mean([x[1] for x in r])}
        rows.append(row)
        print(json.dumps(row), flush=True)
    print()
    print("| model | series | loglik ≥ better peer − 1e-6 rel. | peers agree (1e-3) | we agree where they do |"
          " ours ms | statsmodels ms | R ms |")
    print("|---|---|---|---|---|---|---|---|")
    for row in rows:
        print(f"| {row['model']} | {row['series']} | {row['loglik_at_least']:.3f} | {row['peers_agree']:.3f} | "
              f"{row['we_agree_where_peers_do']:.3f} | {row['ours_ms']:.2f} | {row['statsmodels_ms']:.1f} | "
              f"{row['r_ms']:.1f} |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
