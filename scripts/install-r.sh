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
# Each stage prints a line on standard error, and a long one a line at
# least every 30 s (the CMake build's progress, R's objects compiled); R's
# and CMake's whole output goes to TREE/install-r-cmake.log and
# TREE/install-r.log.
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

source scripts/stages.sh
stages install-r $((${prefix:+2} + 2))
work=$(mktemp -d)
trap 'untick; rm -rf -- "$work"' EXIT
tree=${NATIVE_TREE:-build-r}
# R's make compiles as many files at once as there are cores, unless the
# caller's MAKEFLAGS says otherwise.
export MAKEFLAGS=${MAKEFLAGS:--j$(nproc)}

stage "the source tarball (scripts/r-tarball.sh)"
if [[ -z "${NATIVE_TREE:-}" ]]; then
  # Our own tree, without tests and benchmarks: its default target is then
  # what `cmake --install` needs.
  cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=Release -DCVMODULE_BUILD_TESTS=OFF -DCVMODULE_BUILD_BENCHMARKS=OFF \
        >/dev/null
fi
tarball=$(NATIVE_TREE=$tree scripts/r-tarball.sh "$work")

if [[ -n "$prefix" ]]; then
  stage "the kit and the ljungcv command in $tree (cmake --build)"
  ticking 30 progress "$tree/install-r-cmake.log"
  built "$tree/install-r-cmake.log" cmake --build "$tree" -j"$(nproc)"
  untick
  stage "the kit and the ljungcv command into $prefix (cmake --install)"
  cmake --install "$tree" --prefix "$prefix" >/dev/null
fi

stage "R CMD INSTALL: compiles the package again and installs it${library:+ into $library}"
# R unpacks and compiles the package in its temporary directory, kept in
# $work so that the objects can be counted as they come.
mkdir -p "$work/tmp"
ticking 30 compiled "$work/tmp" "$(tar -tzf "$tarball" | grep -c '/src/.*\.cpp$')"
built "$tree/install-r.log" env TMPDIR="$work/tmp" R CMD INSTALL ${library:+-l "$library"} "$tarball"
untick
echo "install-r: done in $(stages_elapsed)${prefix:+; the kit and the ljungcv command are in $prefix}" >&2
