#!/usr/bin/env bash
# The Python package, as a user installs it: into a fresh virtual environment
# from Debian's interpreter and NumPy, offline, with the README's command;
# its tests there; then an sdist and a wheel built from it (python -m build),
# the wheel installed into a second fresh environment, and the tests again,
# with the two archives checked too. The tests compare with the ljungcv
# command of NATIVE_TREE (default build/, built here when it has none).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --python   # pandas, for the tests of Series and DataFrames
tree=${NATIVE_TREE:-build}
work=build-python
if [[ ! -x "$tree/bin/ljungcv" ]]; then
  cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$tree" -j2 --target ljungcv >/dev/null
fi
export LJUNGCV_COMMAND=$PWD/$tree/bin/ljungcv
rm -rf "$work"
mkdir -p "$work"
source scripts/quietly.sh
pytest_in() {  # VENV: the tests against the package installed there, away from the sources
  (cd "$work" && "$1/bin/python" -m pytest -q -p no:cacheprovider "$OLDPWD/python/tests")
}

echo "-- pip install ./python into a fresh venv"
/usr/bin/python3 -m venv --system-site-packages "$work/venv"
quietly "$work/venv/bin/python" -m pip install --no-index --no-build-isolation ./python
pytest_in venv

echo "-- an sdist and a wheel built from it (python -m build), the wheel in another fresh venv"
quietly "$work/venv/bin/python" -m build --no-isolation --outdir "$work/dist" ./python
/usr/bin/python3 -m venv --system-site-packages "$work/venv-wheel"
quietly "$work/venv-wheel/bin/python" -m pip install --no-index "$work"/dist/ljungcv-*.whl
LJUNGCV_DIST=$PWD/$work/dist pytest_in venv-wheel
