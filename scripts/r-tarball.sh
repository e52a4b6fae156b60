#!/usr/bin/env bash
# Writes DIR/ljungcv_<version>.tar.gz: the R package with the sources it
# builds from (the module, the stand-in host, the core, the estimator and the
# C interface), so that `R CMD INSTALL` needs R's toolchain and the headers of
# Eigen (Debian's libeigen3-dev, /usr/include/eigen3) and LBFGS++
# (liblbfgspp-dev, /usr/include) only: no kit, no CMake.
#   scripts/r-tarball.sh DIR
#   NATIVE_TREE=build scripts/r-tarball.sh DIR   takes the generated build
#                                                header from that CMake tree
# R builds the module as its own shared library (libs/libcvmodule.so, loaded
# through the stand-in host's path) with the module's floating-point flags,
# and the C interface into the package's library. Each stage prints a line
# on standard error; the tarball's path goes to standard output.
set -euo pipefail

usage() { echo "usage: scripts/r-tarball.sh DIR" >&2; exit 2; }
[[ $# -eq 1 && -n "$1" && "$1" != -* ]] || usage
mkdir -p -- "$1"
out=$(cd -- "$1" && pwd)
cd "$(dirname "$0")/.."
tree=${NATIVE_TREE:-build-r}
source scripts/stages.sh
stages r-tarball 4

stage "R's tools (scripts/setup.sh --r)"
scripts/setup.sh --r
stage "the build stamp ($tree/generated/module/build_info.h)"
# The module's version and build stamp come from CMake's configure step.
if [[ ! -f "$tree/generated/module/build_info.h" ]]; then
  cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=Release -DCVMODULE_BUILD_TESTS=OFF -DCVMODULE_BUILD_BENCHMARKS=OFF >/dev/null
fi

work=$(mktemp -d)
trap 'untick; rm -rf -- "$work"' EXIT
stage "the package's sources and Makevars in $work"
package=$work/ljungcv
cp -R r/ljungcv "$package"
src=$package/src
rm -f -- "$src"/*.o "$src"/*.so "$src"/Makevars
# Whole directories, so that files added to them come along.
module_dirs=(host module cv numeric text)
glue_dirs=()
for dir in standin core engine kit platform text; do
  [[ -d "$dir" ]] && glue_dirs+=("$dir")
done
# Each once: the core carries the blank-text routines the module has too.
for dir in $(printf '%s\n' "${module_dirs[@]}" "${glue_dirs[@]}" | sort -u); do
  cp -R "$dir" "$src/$dir"
done
mkdir -p "$src/generated/module"
cp "$tree/generated/module/build_info.h" "$src/generated/module/"
# What only CMake or Windows builds use.
find "$src" \( -name CMakeLists.txt -o -name '*.in' -o -name '*.rc' -o -name '*.def' \
  -o -name library_entry.cpp -o -name '*_windows.cpp' \) -delete

objects() {  # DIR...: the object of every C++ file below them, sorted
  (cd "$src" && find "$@" -name '*.cpp' | LC_ALL=C sort | sed 's/\.cpp$/.o/')
}
mapfile -t module_objects < <(objects "${module_dirs[@]}")
mapfile -t glue_objects < <(objects "${glue_dirs[@]}")
# Each folder's public headers, as its CMake target exposes them; a folder's
# private headers are found beside the files that include them.
includes=(-Igenerated)
# The estimator's algebra and optimiser, header-only libraries where Debian
# puts them (EIGEN3_INCLUDE_DIR overrides).
includes+=("-I${EIGEN3_INCLUDE_DIR:-/usr/include/eigen3}")
while IFS= read -r dir; do includes+=("-I$dir"); done < <(cd "$src" && find "${module_dirs[@]}" "${glue_dirs[@]}" -type d -name include | LC_ALL=C sort -u)

{
  echo "# Written by scripts/r-tarball.sh."
  echo "CXX_STD = CXX20"
  echo "PKG_CPPFLAGS = ${includes[*]}"
  echo "# After R's own CXXFLAGS, so that no flag there undoes them: one rounding per"
  echo "# operation (no fused multiply-add, no fast math) and log a run-time call."
  echo "EXACT_FLAGS = -ffp-contract=off -fno-fast-math -fno-builtin-log"
  echo "MODULE = libcvmodule\$(SHLIB_EXT)"
  echo "MODULE_OBJECTS = ${module_objects[*]}"
  echo "# The rest as an archive, so that the package's library takes only the"
  echo "# objects the C interface needs."
  echo "GLUE_OBJECTS = ${glue_objects[*]}"
  echo "OBJECTS = ljungcv.o"
  echo "PKG_LIBS = cvhost.a -ldl"
  echo
  echo "all: \$(SHLIB) \$(MODULE)"
  echo
  echo "\$(SHLIB): cvhost.a"
  echo
  echo "cvhost.a: \$(GLUE_OBJECTS)"
  printf '\t%s\n' "\$(AR) rcs cvhost.a \$(GLUE_OBJECTS)"
  echo
  echo "# The module exports mcn_main and tkvercn1 only; the package's library"
  echo "# loads it by path, as the host does, and never links it."
  echo "\$(MODULE): \$(MODULE_OBJECTS)"
  printf '\t%s\n' "\$(SHLIB_LD) \$(SHLIB_LDFLAGS) \$(LDFLAGS) -o \$(MODULE) \$(MODULE_OBJECTS) -Wl,--version-script=module/cvmodule.map -Wl,--no-undefined -lm"
  # One rule an object: the blank-text routines go into both.
  for object in $(printf '%s\n' "${module_objects[@]}" "${glue_objects[@]}" | LC_ALL=C sort -u); do
    echo
    echo "$object: ${object%.o}.cpp"
    printf '\t%s\n' "\$(CXX) \$(ALL_CPPFLAGS) \$(ALL_CXXFLAGS) \$(EXACT_FLAGS) -fvisibility=hidden -c ${object%.o}.cpp -o $object"
  done
  echo
  echo "clean:"
  printf '\t%s\n' "rm -f \$(SHLIB) \$(MODULE) cvhost.a \$(OBJECTS) \$(GLUE_OBJECTS) \$(MODULE_OBJECTS)"
} >"$src/Makevars"

# The longest stage: R installs the package, compiling every source, to
# build the vignette.
stage "R CMD build: compiles the package to build its vignette (a few minutes on two cores)"
# R's make compiles as many files at once as there are cores, unless the
# caller's MAKEFLAGS says otherwise.
export MAKEFLAGS=${MAKEFLAGS:--j$(nproc)}
log=$out/ljungcv-build.log
objects_total=$((${#module_objects[@]} + ${#glue_objects[@]} + 1))
# R compiles a copy of the package in its temporary directory, kept in
# $work so that the objects can be counted as they come.
mkdir -p "$work/tmp"
ticking 30 compiled "$work/tmp" "$objects_total"
status=0
(cd "$work" && built "$log" env TMPDIR="$work/tmp" R CMD build ljungcv) || status=$?
untick
[[ $status -eq 0 ]] || exit "$status"
rm -f -- "$log"
tarball=$(cd "$work" && echo ljungcv_*.tar.gz)
mv -- "$work/$tarball" "$out/$tarball"
echo "r-tarball: done in $(stages_elapsed)" >&2
echo "$out/$tarball"
