#!/usr/bin/env bash
# Builds everything and runs every test. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
# Every group of scripts/setup.sh; the Windows ones when root can install
# them (see the Windows part below).
groups=(--tests --r --python --package)
if [[ $(id -u) -eq 0 ]]; then groups+=(--windows --wine); fi
scripts/setup.sh "${groups[@]}"
jobs=$(nproc)
# Each stage's heading says when it starts, so that a run's time can be laid
# out stage by stage.
heading() { printf '%s (at %d:%02d)\n' "$1" $((SECONDS / 60)) $((SECONDS % 60)); }

heading "== native build and tests"
cmake --preset release -DCVMODULE_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build --preset release -j"$jobs"
ctest --preset release -j"$jobs"

heading "== the README's first steps on a fresh copy of the tree: scripts/run.sh, then the kit's install"
scripts/test-getting-started.sh

heading "== R package: the self-contained tarball, R CMD check --as-cran with its tests, one million values timed"
NATIVE_TREE=build scripts/test-r.sh

heading "== the Python package: fresh venvs, pip install and a wheel, its tests"
NATIVE_TREE=build scripts/test-python.sh

heading "== reliability: sanitizers, fuzzing, coverage"
# Each in its own tree (presets asan, tsan, fuzz, coverage); a build's
# output is shown only when it fails.
source scripts/quietly.sh
heading "-- the test suite under AddressSanitizer + UndefinedBehaviorSanitizer"
quietly cmake --preset asan
quietly cmake --build --preset asan -j"$jobs"
ctest --preset asan -j"$jobs"
heading "-- the test suite under ThreadSanitizer"
quietly cmake --preset tsan
quietly cmake --build --preset tsan -j"$jobs"
ctest --preset tsan -j"$jobs"
heading "-- each fuzz target for 15 s (scripts/fuzz.sh --time N for longer runs)"
scripts/fuzz.sh --time 15
heading "-- coverage of host/, module/, cv/, numeric/, text/"
scripts/coverage.sh

heading "== Windows: cross-build with MinGW-w64, the suite under Wine"
# Needs the MinGW-w64 cross compiler and Wine; scripts/test-windows.sh
# installs them when run as root, as CI does. Skipped only when they are
# missing and cannot be installed.
if [[ $(id -u) -eq 0 ]] || { command -v x86_64-w64-mingw32-g++-posix && command -v wine; } >/dev/null; then
  NATIVE_TREE=build scripts/test-windows.sh  # compares with the native tree just tested
else
  echo "-- skipped: no MinGW-w64 cross compiler or Wine, and not root to install them"
fi

heading "== all tests passed"
