#!/usr/bin/env bash
# Installs the R package ljungcv from this repository, offline: builds the
# project, installs the embedding kit (the module, libcvhost, its headers and
# pkg-config file, the ljungcv command) into a prefix, then builds the
# package's tarball and installs it against that kit.
#   scripts/install-r.sh [--prefix DIR] [R CMD INSTALL options, e.g. -l LIBRARY]
# The prefix defaults to /usr/local as root and to ~/.local otherwise. The
# package loads libcvhost (and through it the module) from DIR/lib.
set -euo pipefail
cd "$(dirname "$0")/.."

prefix=
if [[ "${1:-}" == "--prefix" ]]; then
  [[ $# -ge 2 ]] || { echo "install-r: --prefix needs a directory" >&2; exit 3; }
  prefix=$2
  shift 2
elif [[ $(id -u) -eq 0 ]]; then
  prefix=/usr/local
else
  prefix=$HOME/.local
fi
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)

scripts/setup.sh
cmake -S . -B build-r -DCMAKE_BUILD_TYPE=Release -DCVMODULE_BUILD_TESTS=OFF >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source scripts/r-package.sh
r_kit_and_tarball build-r "$prefix" "$work" >/dev/null
echo "install-r: cvmodule kit installed in $prefix"
CVHOST_PREFIX="$prefix" R CMD INSTALL "$@" "$work"/ljungcv_*.tar.gz
