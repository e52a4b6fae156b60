#!/bin/sh
# Many series' throughput: the C interface's batch (bench/batch_bench) and
# `ljungcv outliers --by` on the same 10,000 seeded airline series as one
# long CSV, each with 1 and 2 workers. Prints series per second; the load
# average before each run says what else the machine was doing.
#
#   bench/outliers_by_bench.sh [BUILD]        (BUILD: build, by default)
set -eu
build=${1:-build}
series=${SERIES:-10000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/bench/batch_bench" --series "$series" --csv "$work/long.csv"
for workers in 1 2; do
    echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
    start=$(date +%s.%N)
    status=0
    "$build/bin/ljungcv" outliers --by id --order 0,1,1 --seasonal 0,1,1,12 --format csv --workers "$workers" \
        "$work/long.csv" >"$work/out-$workers.csv" 2>"$work/err-$workers.txt" || status=$?
    end=$(date +%s.%N)
    echo "ljungcv outliers --by, workers $workers: exit $status, $(awk -v s="$start" -v e="$end" -v n="$series" \
        'BEGIN { printf "%.2f s, %.1f series/s", e - s, n / (e - s) }')"
done
cmp -s "$work/out-1.csv" "$work/out-2.csv" && echo "the two outputs are the same bytes" || echo "the outputs DIFFER"
