#!/usr/bin/env bash
# Builds the project and prints the default table of critical values.
# Extra arguments go to `ljungcv table`.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# The release preset's tree, which scripts/test.sh also uses; only the
# command and its module are built.
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target ljungcv cvmodule >/dev/null
exec build/bin/ljungcv table "$@"
