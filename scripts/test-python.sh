#!/usr/bin/env bash
# The Python package, as a user installs it: into a fresh virtual environment
# from Debian's interpreter and NumPy, offline, with the manual's commands
# (docs/python.md) run as written in a fresh shell; its tests there; then an sdist and a wheel built from it (python -m build),
# the wheel installed into a second fresh environment, and the tests again,
# with the two archives checked too. The tests compare with the ljungcv
# command of NATIVE_TREE (default build/, built here when it has none).
# Last, the manual's uninstall command, which must leave no package behind.
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

route() { tests/support/doc_route.py docs/python.md "$1"; }
in_shell() {  # in_shell COMMANDS: a fresh shell in $work, where python/ is the repository's
  (cd "$work" && bash -euo pipefail -c "$1")
}
echo "-- docs/python.md's install commands, as written: a fresh venv, pip install ./python"
ln -s "$PWD/python" "$work/python"
quietly in_shell "$(route python-install)"
pytest_in .venv

echo "-- an sdist and a wheel built from it (python -m build), the wheel in another fresh venv"
quietly "$work/.venv/bin/python" -m build --no-isolation --outdir "$work/dist" ./python
/usr/bin/python3 -m venv --system-site-packages "$work/venv-wheel"
quietly "$work/venv-wheel/bin/python" -m pip install --no-index "$work"/dist/ljungcv-*.whl
LJUNGCV_DIST=$PWD/$work/dist pytest_in venv-wheel

echo "-- docs/python.md's uninstall command, as written"
quietly in_shell "$(route python-remove)"
if (cd "$work" && .venv/bin/python -c "import ljungcv" 2>/dev/null); then
  echo "test-python: ljungcv can still be imported after the manual's uninstall" >&2
  exit 1
fi
