#!/usr/bin/env bash
# Line and branch coverage of the module's own code (host/, module/, cv/, numeric/,
# text/) by the whole test suite: a gcov build (preset coverage, g++), the
# tests, then gcovr's report. Exits non-zero when the tests fail or the
# coverage falls below 99% of lines or 95% of branches (one line is known
# unreachable: see the README's Reliability section).
#
#   scripts/coverage.sh          summary tables and totals
#   scripts/coverage.sh --html   also build-cov/coverage/index.html, line by line
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/quietly.sh

quietly cmake --preset coverage
quietly cmake --build --preset coverage -j2
find build-cov -name '*.gcda' -delete
quietly ctest --preset coverage -j2

report=(gcovr --root . --object-directory build-cov
        --filter 'host/' --filter 'module/' --filter 'cv/' --filter 'numeric/' --filter 'text/'
        --exclude-throw-branches --exclude-unreachable-branches)
if [[ "${1:-}" == "--html" ]]; then
  mkdir -p build-cov/coverage
  "${report[@]}" --html-details build-cov/coverage/index.html >/dev/null
  echo "coverage: line by line in build-cov/coverage/index.html"
fi
"${report[@]}" --txt
"${report[@]}" --txt --branches --print-summary --fail-under-line 99 --fail-under-branch 95
