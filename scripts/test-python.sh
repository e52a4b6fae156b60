#!/usr/bin/env bash
# The Python package, as a user installs it: into a fresh virtual environment
# from Debian's interpreter and NumPy, offline, with the manual's commands
# (docs/python.md) run as written in a fresh shell; its tests there; then an
# sdist and a wheel built from it (python -m build), the wheel installed into
# a second fresh environment, and the tests again, with the two archives
# checked too. The tests compare with the ljungcv command of NATIVE_TREE
# (default build/, built here when it has none). Last, the manual's
# uninstall command, which must leave no package behind. Each stage prints a
# line, the package's builds their own stages and finished targets.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/stages.sh
stages test-python 8
stage "the Python tools (scripts/setup.sh --python)"
scripts/setup.sh --python   # pandas, matplotlib, tqdm and Dask, for the tests of Series, DataFrames, plots and screen
tree=${NATIVE_TREE:-build}
work=build-python
stage "the ljungcv command the tests compare with ($tree/bin/ljungcv)"
if [[ ! -x "$tree/bin/ljungcv" || ! -e "$tree/lib/libcvmodule.so" ]]; then
  cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=Release >/dev/null
  built "$tree/ljungcv-build.log" cmake --build "$tree" -j2 --target ljungcv cvmodule
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

stage "docs/python.md's install commands, as written with its -v: a fresh venv, pip install ./python (builds the module)"
ln -s "$PWD/python" "$work/python"
built "$work/pip.log" in_shell "$(route python-install | sed 's/ pip install / pip install -v /')"
if ! grep -q '^ *ljungcv build: \[2/3\]' "$work/pip.log"; then
  echo "test-python: pip install -v shows none of the build's stages, as docs/python.md says it does" >&2
  exit 1
fi
stage "the package's tests in that venv"
pytest_in .venv

stage "an sdist and a wheel built from it (python -m build; builds the module again)"
built "$work/build.log" "$work/.venv/bin/python" -m build --no-isolation --outdir "$work/dist" ./python
stage "the wheel into another fresh venv"
/usr/bin/python3 -m venv --system-site-packages "$work/venv-wheel"
quietly "$work/venv-wheel/bin/python" -m pip install --no-index "$work"/dist/ljungcv-*.whl
stage "the package's tests in that venv, and the two archives"
LJUNGCV_DIST=$PWD/$work/dist pytest_in venv-wheel

stage "docs/python.md's uninstall command, as written"
quietly in_shell "$(route python-remove)"
if (cd "$work" && .venv/bin/python -c "import ljungcv" 2>/dev/null); then
  echo "test-python: ljungcv can still be imported after the manual's uninstall" >&2
  exit 1
fi
echo "test-python: done in $(stages_elapsed)" >&2
