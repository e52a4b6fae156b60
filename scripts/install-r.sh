#!/usr/bin/env bash
# Installs the R package ljungcv from this repository, offline: builds its
# self-contained tarball (scripts/r-tarball.sh) and installs it with
# R CMD INSTALL, which compiles the module with R's toolchain.
#   scripts/install-r.sh [-l LIBRARY] [--prefix DIR]
#     -l LIBRARY    the R library to install into (default: R's first)
#     --prefix DIR  also install the embedding kit and the ljungcv command
#                   (cmake --install) into DIR
#   NATIVE_TREE=build scripts/install-r.sh ...   the CMake tree to use
#                                                (default build-r/)
set -euo pipefail

usage() {
  echo "usage: scripts/install-r.sh [-l LIBRARY] [--prefix DIR]" >&2
  exit 2
}
library=
prefix=
while [[ $# -gt 0 ]]; do
  case $1 in
    -l | --library) [[ $# -ge 2 && -n "$2" ]] || usage; library=$2; shift 2 ;;
    --library=?*) library=${1#--library=}; shift ;;
    --prefix) [[ $# -ge 2 && -n "$2" ]] || usage; prefix=$2; shift 2 ;;
    --prefix=?*) prefix=${1#--prefix=}; shift ;;
    -h | --help) echo "usage: scripts/install-r.sh [-l LIBRARY] [--prefix DIR]"; exit 0 ;;
    *) echo "install-r: unknown option '$1'" >&2; usage ;;
  esac
done
# Both made absolute before the change of directory below.
if [[ -n "$library" ]]; then
  mkdir -p -- "$library"
  library=$(cd -- "$library" && pwd)
fi
if [[ -n "$prefix" ]]; then
  mkdir -p -- "$prefix"
  prefix=$(cd -- "$prefix" && pwd)
fi
cd "$(dirname "$0")/.."

work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
tree=${NATIVE_TREE:-build-r}
tarball=$(NATIVE_TREE=$tree scripts/r-tarball.sh "$work")
if [[ -n "$prefix" ]]; then
  cmake --build "$tree" -j2 >/dev/null
  cmake --install "$tree" --prefix "$prefix" >/dev/null
  echo "install-r: cvmodule kit and the ljungcv command installed in $prefix"
fi
R CMD INSTALL ${library:+-l "$library"} "$tarball"
