#!/usr/bin/env bash
# Builds ljungcv, its module and the embedding kit (everything `cmake
# --install build` puts in a prefix) and prints the default table of
# critical values. Extra arguments go to `ljungcv table`. Installs only what
# that build needs (scripts/setup.sh's base set); the build's progress goes
# to standard error, the table to standard output.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# The release preset's tree, which scripts/test.sh also uses, configured
# without the tests and benchmarks (they need more than this build): what
# is left to build is what the install needs, so that the README's next
# line, `cmake --install build --prefix ...`, finds every file.
echo "run: configuring build/" >&2
cmake --preset release -DCVMODULE_BUILD_TESTS=OFF -DCVMODULE_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build --preset release -j"$(nproc)" >&2
echo "run: the command is build/bin/ljungcv (to run it as ljungcv: export PATH=\"$PWD/build/bin:\$PATH\")" >&2
exec build/bin/ljungcv table "$@"
