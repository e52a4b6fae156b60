#!/usr/bin/env bash
# Builds the fuzz targets (preset fuzz: clang, libFuzzer, ASan + UBSan) and
# runs each for as long as asked, one after the other.
#
#   scripts/fuzz.sh [--time SECONDS | --runs N] [TARGET...]
#
#   --time SECONDS  run each target this long (default 60)
#   --runs N        run each target for N executions instead
#   TARGET          fuzz_eval, fuzz_text, fuzz_solver, fuzz_outliers, fuzz_reader, fuzz_cvhost, fuzz_fit (default: all)
#
# Each target starts from its seed corpus fuzz/corpus/TARGET and keeps what
# it finds in fuzz/corpus-run/TARGET (not committed), so later runs go on
# from there. A finding stops the run: the input is written to
# build-fuzz/findings/ and the script exits non-zero. At the end it prints
# the executions, the edges covered and the corpus size of every target.
set -euo pipefail
cd "$(dirname "$0")/.."

limit=(-max_total_time=60)
targets=()
while [[ $# -gt 0 ]]; do
  case "$1" in
    --time) limit=(-max_total_time="$2"); shift 2 ;;
    --runs) limit=(-runs="$2"); shift 2 ;;
    -h|--help) sed -n '2,16p' "$0"; exit 0 ;;
    *) targets+=("$1"); shift ;;
  esac
done
[[ ${#targets[@]} -gt 0 ]] || targets=(fuzz_eval fuzz_text fuzz_solver fuzz_outliers fuzz_reader fuzz_cvhost fuzz_fit)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 >/dev/null

mkdir -p build-fuzz/findings
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:strict_string_checks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
summary=()
for target in "${targets[@]}"; do
  seeds="fuzz/corpus/$target"
  work="fuzz/corpus-run/$target"
  [[ -d "$seeds" ]] || { echo "fuzz: no seed corpus $seeds" >&2; exit 2; }
  mkdir -p "$work"
  log="build-fuzz/findings/$target.log"
  # The reader's inputs are files: long enough for lines of hundreds of fields.
  max_len=512
  [[ $target == fuzz_reader ]] && max_len=8192
  echo "== fuzz $target (${limit[*]})"
  status=0
  "build-fuzz/fuzz/$target" "$work" "$seeds" "${limit[@]}" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="build-fuzz/findings/$target-" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  edges=$(sed -n 's/.* cov: \([0-9]*\) .*/\1/p' "$log" | tail -1)
  units=$(find "$work" -type f | wc -l)
  if [[ $status -ne 0 ]]; then
    tail -40 "$log" >&2
    echo "fuzz: $target FAILED (exit $status); input and log in build-fuzz/findings/" >&2
    exit 1
  fi
  summary+=("$(printf '%-14s %12s executions  %5s edges  %5s corpus units' "$target" "${runs:-?}" "${edges:-?}" "$units")")
done
echo "== fuzz summary (no findings)"
printf '%s\n' "${summary[@]}"
