#!/usr/bin/env bash
# Builds the project and prints the default table of critical values.
# Extra arguments go to `ljungcv table`.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DCVMODULE_BUILD_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
exec build/bin/ljungcv table "$@"
