#!/usr/bin/env bash
# The Windows part of the test suite: cross-builds cvmodule.dll, ljungcv.exe
# and the tests with MinGW-w64 (preset mingw, tree build-win), runs the whole
# suite under Wine, shows the DLL's export and import tables, and compares
# the DLL's values with the Linux library's (scripts/cross_check.sh).
# Installs the cross compiler and Wine first when they are missing (needs
# root or sudo). Each stage prints a line on standard error, the build its
# finished targets. Every test has a time limit (three times the native
# one under Wine), so a hang fails by name.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/stages.sh
stages test-windows 6
stage "the cross compiler and Wine (scripts/setup.sh --windows --wine)"
scripts/setup.sh --windows --wine
jobs=$(nproc)
export WINEDEBUG=-all
# Wine creates its prefix (~/.wine) on first use, which takes a few seconds:
# cmake/wine-run.sh does that, quietly, before the first test.

stage "configuring build-win (preset mingw)"
cmake --preset mingw -DCVMODULE_WARNINGS_AS_ERRORS=ON >/dev/null
stage "building the DLLs, ljungcv.exe and every test in build-win (the longest stage)"
built build-win/build.log cmake --build --preset mingw -j"$jobs"
stage "the suite under Wine"
ctest --preset mingw -j"$jobs"

stage "cvmodule.dll: exports and imported DLLs"
echo "-- cvmodule.dll: exports and imported DLLs"
# (objdump 2.40 prints some lines twice, hence uniq.)
x86_64-w64-mingw32-objdump -p build-win/lib/cvmodule.dll |
  sed -n -e '/^Export Address Table -- Ordinal Base/,/^$/p' -e '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' \
         -e 's/^\tDLL Name: /imports /p' | uniq

stage "the same grid from the Linux library and from the DLL under Wine"
echo "-- the same grid from the Linux library and from the DLL under Wine"
scripts/cross_check.sh
echo "test-windows: done in $(stages_elapsed)" >&2
