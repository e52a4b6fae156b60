#!/usr/bin/env bash
# The Windows part of the test suite: cross-builds cvmodule.dll, ljungcv.exe
# and the tests with MinGW-w64 (preset mingw, tree build-win), runs the whole
# suite under Wine, shows the DLL's export and import tables, and compares
# the DLL's values with the Linux library's (scripts/cross_check.sh).
# Installs the cross compiler and Wine first when they are missing (needs
# root or sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --windows --wine
jobs=$(nproc)
export WINEDEBUG=-all
# Wine creates its prefix (~/.wine) on first use, which takes a few seconds:
# cmake/wine-run.sh does that, quietly, before the first test.

cmake --preset mingw -DCVMODULE_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build --preset mingw -j"$jobs"
ctest --preset mingw -j"$jobs"

echo "-- cvmodule.dll: exports and imported DLLs"
# (objdump 2.40 prints some lines twice, hence uniq.)
x86_64-w64-mingw32-objdump -p build-win/lib/cvmodule.dll |
  sed -n -e '/^Export Address Table -- Ordinal Base/,/^$/p' -e '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' \
         -e 's/^\tDLL Name: /imports /p' | uniq

echo "-- the same grid from the Linux library and from the DLL under Wine"
scripts/cross_check.sh
