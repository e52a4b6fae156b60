#!/usr/bin/env bash
# Builds the release packages into out/: on Linux cvmodule-<version>-Linux.tar.gz
# and the Debian packages cvmodule_<version>_amd64.deb and
# cvmodule-dev_<version>_amd64.deb, with --windows the MinGW-w64
# cvmodule-<version>-win64.zip.
#
#   scripts/package.sh [--windows] [--twice]
#
#   --twice   build everything a second time in another tree and check
#             that each package comes out byte for byte the same
#
# SOURCE_DATE_EPOCH fixes every time stamp (the module's build stamp and the
# archives' file times); it defaults to the last commit's time. Each stage
# prints a line on standard error, with the build's finished targets.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/stages.sh
windows=0 twice=0
for argument in "$@"; do
  case "$argument" in
    --windows) windows=1 ;;
    --twice) twice=1 ;;
    *) echo "package.sh: unknown argument '$argument'" >&2; exit 2 ;;
  esac
done
# Per tree: configure, build, pack (and for Linux the /usr tree's build and
# .deb files); then setup, the copy to out/ and the comparison.
per_tree=$([[ $windows -eq 1 ]] && echo 3 || echo 5)
stages package $((1 + per_tree * (1 + twice) + 1 + twice))
stage "the tools (scripts/setup.sh)"
if [[ $windows -eq 1 ]]; then scripts/setup.sh --windows; else scripts/setup.sh --package; fi
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}

package() {  # package TREE: configure, build and pack into TREE/packages
  local tree=$1 options=(-DCMAKE_BUILD_TYPE=Release -DCVMODULE_BUILD_TESTS=OFF -DCVMODULE_BUILD_BENCHMARKS=OFF)
  if [[ $windows -eq 1 ]]; then
    options+=(-DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake
              -DCMAKE_PROJECT_TOP_LEVEL_INCLUDES=cmake/mingw-dependencies.cmake)
  fi
  rm -rf "$tree"
  stage "configuring $tree"
  cmake -S . -B "$tree" "${options[@]}" >/dev/null
  stage "building in $tree (the longest stage)"
  built "$tree/build.log" cmake --build "$tree" -j2
  stage "packing the archive$([[ $windows -eq 1 ]] && echo ' (.zip)' || echo ' (.tar.gz)') with cpack"
  (cd "$tree" && cpack -B "$PWD/packages" >/dev/null)
  if [[ $windows -eq 0 ]]; then
    # The same tree for /usr gives the .deb files: only the install layout
    # changes, so little is built again.
    stage "building $tree again for /usr"
    cmake -S . -B "$tree" -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
    built "$tree/build.log" cmake --build "$tree" -j2
    stage "packing the .deb files with cpack"
    (cd "$tree" && cpack -B "$PWD/packages" >/dev/null 2>&1)
  fi
  rm -rf "$tree/packages/_CPack_Packages"
}

suffix=$([[ $windows -eq 1 ]] && echo -win || true)
package "build-package$suffix"
stage "the packages into out/"
mkdir -p out
cp "build-package$suffix"/packages/* out/
(cd "build-package$suffix/packages" && for f in *; do printf '%s  %s bytes  sha256 %s\n' "$f" "$(stat -c %s "$f")" "$(sha256sum <"$f" | cut -c1-64)"; done)
if [[ $twice -eq 1 ]]; then
  package "build-package$suffix-2"
  stage "comparing the two trees' packages"
  if diff -r "build-package$suffix/packages" "build-package$suffix-2/packages" >/dev/null; then
    echo "reproducible: a second build in another tree gives the same bytes (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"
  else
    echo "NOT reproducible: the second build's packages differ" >&2
    exit 1
  fi
fi
echo "package: done in $(stages_elapsed)" >&2
