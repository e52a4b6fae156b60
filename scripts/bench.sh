#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them: each method and the host
# call path against the floor of their log and sqrt calls, one thread and
# two, on eight repeated (n, alpha) pairs and on a spread of 1024 random
# ones. Prints the ratios with their targets, for both input sets, at the end.
#
#   scripts/bench.sh [--compare REV] [BENCHMARK OPTIONS]
#
#   --compare REV      first build the module as it was at git revision REV
#                      and compare its values with this build's, bit for bit,
#                      over a grid of calls (stops on any difference)
#   BENCHMARK OPTIONS  go to Google Benchmark, e.g. --benchmark_filter=host
#
# The build goes to build-bench (BENCH_BUILD_DIR overrides). Run it on a quiet
# machine: the two-thread figures need both cores.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BENCH_BUILD_DIR:-build-bench}
compare=""
if [[ "${1:-}" == "--compare" ]]; then
  [[ $# -ge 2 ]] || { echo "bench.sh: --compare needs a git revision" >&2; exit 2; }
  compare=$2
  shift 2
fi

scripts/setup.sh --tests
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCVMODULE_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j2 --target cvmodule_bench cvmodule_grid_compare >/dev/null

if [[ -n "$compare" ]]; then
  rev=$(git rev-parse --short "$compare^{commit}")
  base="$build/compare-$rev"
  if [[ ! -f "$base/build/lib/libcvmodule.so" ]]; then
    echo "== building the module at $rev"
    rm -rf "$base"
    mkdir -p "$base/src"
    git archive "$rev" | tar -x -C "$base/src"
    cmake -S "$base/src" -B "$base/build" -DCMAKE_BUILD_TYPE=Release -DCVMODULE_BUILD_TESTS=OFF \
          -DCVMODULE_BUILD_TOOL=OFF >/dev/null
    cmake --build "$base/build" -j2 --target cvmodule >/dev/null
  fi
  echo "== values of this build against $rev"
  "$build/bench/cvmodule_grid_compare" "$base/build/lib/libcvmodule.so"
fi

echo "== benchmarks"
uptime
exec "$build/bench/cvmodule_bench" --benchmark_repetitions=5 --benchmark_min_time=0.2 \
     --benchmark_display_aggregates_only=true "$@"
