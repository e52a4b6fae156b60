#!/usr/bin/env bash
# Evaluates the same grid of points (both methods, about 350,000 (n, alpha)
# points) with the Linux library and with cvmodule.dll under Wine, and
# compares the answers value by value (scripts/cross_check.py).
#
# Needs the Windows tree built (scripts/test-windows.sh, or the mingw
# preset). The Linux command comes from NATIVE_TREE when that names a
# configured tree (scripts/test.sh passes its own), else from
# build-win-native, configured here.
#
# Fails when a status differs, the default tables differ, or a value
# differs by more than MAX_ULP units in the last place (default 64). The
# platforms' logarithms differ by 1 ULP for a few arguments in ten thousand,
# and the corrected method's fit multiplies such a difference by up to 16 on
# this grid; a value four times further off than that means the two builds
# compute differently.
set -euo pipefail
cd "$(dirname "$0")/.."
windows_tree=${WINDOWS_TREE:-build-win}
native_tree=${NATIVE_TREE:-build-win-native}

if [[ -z "${NATIVE_TREE:-}" ]]; then
  cmake -S . -B "$native_tree" -DCMAKE_BUILD_TYPE=Release -DCVMODULE_BUILD_TESTS=OFF \
        -DCVMODULE_BUILD_BENCHMARKS=OFF >/dev/null
fi
cmake --build "$native_tree" -j"$(nproc)" --target ljungcv cvmodule >/dev/null

launcher="$windows_tree/tests/windows/ljungcv-emulated"
[[ -x "$launcher" ]] || { echo "cross_check: no $launcher; build the Windows tree first" >&2; exit 1; }
python3 scripts/cross_check.py --max-ulp "${MAX_ULP:-64}" "$native_tree/bin/ljungcv" -- "$launcher"
