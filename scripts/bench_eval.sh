#!/usr/bin/env bash
# Times `ljungcv eval` end to end on 1 000 000 mixed lines, on one core.
#
#   scripts/bench_eval.sh [LINES]
#
# Builds ljungcv (Release) in build-bench (BENCH_BUILD_DIR overrides), writes
# a fixed input of LINES lines (default 1000000): n from 1 to 10^6, levels
# from 0.0005 to 0.1, no method or one of C, L, corr, ljung, CORRECTED,
# separated by commas or blanks. Then runs `ljungcv eval` pinned to one CPU,
# output to a file, three times, and prints the wall time of each run from
# start to exit, and the lines per second of the fastest.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BENCH_BUILD_DIR:-build-bench}
lines=${1:-1000000}

scripts/setup.sh --tests
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target ljungcv cvmodule >/dev/null

input="$build/eval-$lines.txt"
output="$build/eval-$lines.csv"
if [[ ! -f "$input" ]]; then
  awk -v lines="$lines" 'BEGIN {
    srand(20240611)
    split(",C,L,corr,ljung,CORRECTED", methods, ",")
    for (i = 0; i < lines; i++) {
      n = int(1 + 10 ^ (6 * rand()))
      alpha = (1 + int(200 * rand())) * 0.0005
      m = methods[1 + int(6 * rand())]
      sep = rand() < 0.5 ? "," : " "
      if (m == "") printf "%d%s%.4f\n", n, sep, alpha
      else printf "%d%s%.4f%s%s\n", n, sep, alpha, sep, m
    }
  }' > "$input"
fi

pin=()
command -v taskset >/dev/null && pin=(taskset -c 0)
times=()
for run in 1 2 3; do
  start=$EPOCHREALTIME
  "${pin[@]}" "$build/bin/ljungcv" eval "$input" > "$output"
  end=$EPOCHREALTIME
  times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')")
  echo "run $run: ${times[-1]} s"
done
rows=$(($(wc -l < "$output") - 1))
[[ $rows -eq $lines ]] || { echo "bench_eval.sh: $rows rows for $lines lines" >&2; exit 1; }
printf '%s\n' "${times[@]}" | sort -n | head -1 | awk -v lines="$lines" \
  '{ printf "%d lines, fastest run %.3f s wall: %.2f million lines per second\n", lines, $1, lines / $1 / 1e6 }'
