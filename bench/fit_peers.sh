#!/usr/bin/env bash
# Times the peers, stats::arima(method = "ML") and statsmodels'
# SARIMAX(...).fit(disp=False), on the series engine_bench fits, so that the
# figures can be set side by side with `engine_bench`'s.
#
#   bench/fit_peers.sh BUILD_DIR [NAME...]
#
# NAME is a series of engine_bench --write-series (ar1_200, airline_12_144,
# ar1_1000, airline_4_1000, airline_na_12_144, ...); without names, the two
# of the speed targets: ar1_200 and airline_12_144. Prints, per series and
# peer, the milliseconds per fit (the mean of repeated fits, at least one
# second or three fits) and the log-likelihood it reached. Needs R
# (r-base-core) and Debian's python3-statsmodels.
set -euo pipefail
[[ $# -ge 1 ]] || { echo "usage: bench/fit_peers.sh BUILD_DIR [NAME...]" >&2; exit 2; }
bench=$1/bench/engine_bench
[[ -x "$bench" ]] || { echo "fit_peers: $bench is not built (cmake --build $1 --target engine_bench)" >&2; exit 1; }
shift
names=("$@")
[[ ${#names[@]} -gt 0 ]] || names=(ar1_200 airline_12_144)

directory=$(mktemp -d)
trap 'rm -rf "$directory"' EXIT
"$bench" --write-series "$directory"

for name in "${names[@]}"; do
  file=$directory/$name.csv
  [[ -f "$file" ]] || { echo "fit_peers: no series '$name'" >&2; exit 2; }
  case $name in
    ar1_*) r_order='order = c(1, 0, 0)'; py_order='order=(1, 0, 0), trend="c"' ;;
    airline_*)
      period=$(sed -E 's/^airline_(na_)?([0-9]+)_.*/\2/' <<<"$name")
      r_order="order = c(0, 1, 1), seasonal = list(order = c(0, 1, 1), period = $period)"
      py_order="order=(0, 1, 1), seasonal_order=(0, 1, 1, $period)" ;;
    *) echo "fit_peers: no model for '$name'" >&2; exit 2 ;;
  esac
  Rscript --vanilla - "$file" <<EOF_R
y <- scan(commandArgs(TRUE)[1], quiet = TRUE)
fits <- 0; start <- proc.time()[["elapsed"]]
repeat {
  fit <- arima(y, $r_order, method = "ML")
  fits <- fits + 1
  elapsed <- proc.time()[["elapsed"]] - start
  if (elapsed >= 1 && fits >= 3) break
}
cat(sprintf("%-20s stats::arima  %10.3f ms  loglik %.8f\n", "$name", 1000 * elapsed / fits, fit\$loglik))
EOF_R
  /usr/bin/python3 - "$file" <<EOF_PY
import sys, time, warnings
import numpy as np
from statsmodels.tsa.statespace.sarimax import SARIMAX
warnings.simplefilter("ignore")
y = np.genfromtxt(sys.argv[1])
fits, start = 0, time.perf_counter()
while True:
    fit = SARIMAX(y, $py_order).fit(disp=False)
    fits += 1
    elapsed = time.perf_counter() - start
    if elapsed >= 1 and fits >= 3:
        break
print(f"{'$name':20s} statsmodels   {1000 * elapsed / fits:10.3f} ms  loglik {fit.llf:.8f}")
EOF_PY
done
