#!/usr/bin/env bash
# The Python package, as a user installs it: into a fresh virtual environment
# from Debian's interpreter and NumPy, offline, with the README's command;
# its tests there; then an sdist and a wheel built from it (python -m build),
# the wheel installed into a second fresh environment, and the tests again,
# with the two archives checked too. The tests compare with the ljungcv
# command of NATIVE_TREE (default build/, built here when it has none).
# Each stage prints a line, the package's builds their own stages and
# finished targets.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/stages.sh
stages test-python 7
stage "the Python tools (scripts/setup.sh --python)"
scripts/setup.sh --python   # pandas, for the tests of Series and DataFrames
tree=${NATIVE_TREE:-build}
work=build-python
stage "the ljungcv command the tests compare with ($tree/bin/ljungcv)"
if [[ ! -x "$tree/bin/ljungcv" ]]; then
  cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=Release >/dev/null
  built "$tree/ljungcv-build.log" cmake --build "$tree" -j2 --target ljungcv
fi
export LJUNGCV_COMMAND=$PWD/$tree/bin/ljungcv
rm -rf "$work"
mkdir -p "$work"
source scripts/quietly.sh
pytest_in() {  # VENV: the tests against the package installed there, away from the sources
  (cd "$work" && "$1/bin/python" -m pytest -q -p no:cacheprovider "$OLDPWD/python/tests")
}

stage "pip install ./python into a fresh venv (builds the module)"
/usr/bin/python3 -m venv --system-site-packages "$work/venv"
built "$work/pip.log" "$work/venv/bin/python" -m pip install -v --no-index --no-build-isolation ./python
stage "the package's tests in that venv"
pytest_in venv

stage "an sdist and a wheel built from it (python -m build; builds the module again)"
built "$work/build.log" "$work/venv/bin/python" -m build --no-isolation --outdir "$work/dist" ./python
stage "the wheel into another fresh venv"
/usr/bin/python3 -m venv --system-site-packages "$work/venv-wheel"
quietly "$work/venv-wheel/bin/python" -m pip install --no-index "$work"/dist/ljungcv-*.whl
stage "the package's tests in that venv, and the two archives"
LJUNGCV_DIST=$PWD/$work/dist pytest_in venv-wheel
echo "test-python: done in $(stages_elapsed)" >&2
