#!/usr/bin/env bash
# The R package: R CMD build, then R CMD check --no-manual on the tarball
# (its testthat tests included) against the embedding kit installed from a
# native build tree; fails on any ERROR or WARNING. Then times one million
# values.
#   scripts/test-r.sh                      configures and builds build-r/
#   NATIVE_TREE=build scripts/test-r.sh    uses that configured tree
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tree=${NATIVE_TREE:-build-r}
if [[ -z "${NATIVE_TREE:-}" ]]; then
  cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=Release -DCVMODULE_BUILD_TESTS=OFF >/dev/null
fi

work=$root/$tree/r-package
rm -rf "$work"
mkdir -p "$work"
source scripts/r-package.sh
r_kit_and_tarball "$tree" "$work/kit" "$work"
cd "$work"
tarball=$(echo ljungcv_*.tar.gz)
CVHOST_PREFIX="$work/kit" _R_CHECK_FORCE_SUGGESTS_=true R CMD check --no-manual "$tarball" | tee check.out
status=$(grep '^Status:' check.out || echo "Status: none")
if [[ "$status" == *ERROR* || "$status" == *WARNING* || "$status" == "Status: none" ]]; then
  echo "test-r: R CMD check: $status (log: $work/ljungcv.Rcheck/00check.log)" >&2
  exit 1
fi

# One million values, mixed counts and levels, each method. The limit is on
# CPU time, which other load on the machine does not stretch.
R_LIBS="$work/ljungcv.Rcheck" Rscript -e '
library(ljungcv)
set.seed(1)
n <- floor(runif(1e6, 1, 1e6)); alpha <- runif(1e6, 0, 0.1)
for (method in c("C", "L")) {
  time <- system.time(values <- ljungcv(n, alpha, method))
  cpu <- time[["user.self"]] + time[["sys.self"]]
  cat(sprintf("test-r: 1,000,000 values, method %s: %.3f s CPU, %.3f s wall\n", method, cpu, time[["elapsed"]]))
  if (cpu >= 1) stop("one million values took a second or more")
}'
