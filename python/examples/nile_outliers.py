#!/usr/bin/python3
"""Outliers in the Nile's annual flow, 1871-1970, with ljungcv.outliers.

The series ships with statsmodels (Debian's python3-statsmodels). A local
level, ARIMA(0, 1, 1), follows its slowly moving mean; the procedure looks
for additive outliers, level shifts and temporary changes whose statistic
exceeds LJUNGCV(99, alpha) (99 residuals: the first year has none under a
differenced model). Run it with the ljungcv package installed:

    python nile_outliers.py [--plot nile.png]
"""

import argparse
import warnings

import pandas as pd
from statsmodels.datasets import nile

import ljungcv


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--plot", metavar="FILE", help="draw the series and the adjusted series (needs matplotlib)")
    args = parser.parse_args()

    data = nile.load_pandas().data
    flow = pd.Series(data["volume"].to_numpy(), index=data["year"].astype(int), name="flow")

    with warnings.catch_warnings():
        warnings.simplefilter("ignore")  # statsmodels' notes on the optimiser
        results = {alpha: ljungcv.outliers(flow, order=(0, 1, 1), alpha=alpha) for alpha in (0.05, 0.10)}
        largest = {kind: statistics_peak(flow, kind) for kind in ("AO", "LS", "TC")}

    for alpha, result in results.items():
        print(f"alpha = {alpha}:")
        print(result.summary())
        print()
    print("The largest statistic of each type under the model without outliers:")
    for kind, (year, tstat) in largest.items():
        print(f"  {kind}: {tstat:+.3f} in {year}")

    found = results[0.10]
    if args.plot:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
        figure, axes = plt.subplots(figsize=(8, 4))
        axes.plot(flow.index, flow, color="grey", label="flow")
        axes.plot(found.adjusted.index, found.adjusted, color="tab:blue", label="adjusted")
        for outlier in found.outliers:
            axes.annotate(outlier.type, (outlier.label, flow[outlier.label]), color="tab:red")
        axes.legend()
        figure.savefig(args.plot, dpi=100)
        print(f"wrote {args.plot}")


def statistics_peak(flow, kind):
    """Where the statistic of one type is largest, from ljungcv.outlier_statistics on the fit's residuals."""
    from statsmodels.tsa.arima.model import ARIMA
    fit = ARIMA(flow.to_numpy(dtype=float), order=(0, 1, 1)).fit()
    theta = fit.maparams[0]
    residuals = fit.resid[1:]  # the first year has no residual under a differenced model
    # pi(B) = (1 - B) / (1 + theta B): pi_1 = 1 + theta, pi_j = -theta pi_{j-1}
    pi = [1.0 + theta]
    while len(pi) < residuals.size - 1:
        pi.append(-theta * pi[-1])
    _, tstats = ljungcv.outlier_statistics(residuals, pi, kind)
    peak = int(abs(pd.Series(tstats)).idxmax())
    return int(flow.index[peak + 1]), float(tstats[peak])


if __name__ == "__main__":
    main()
