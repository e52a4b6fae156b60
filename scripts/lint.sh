#!/usr/bin/env bash
# Static checks: cppcheck and clang-tidy's basic checks (.clang-tidy) over the
# module, the stand-in host and the command. Needs a configured build/.
set -euo pipefail
cd "$(dirname "$0")/.."
[[ -f build/compile_commands.json ]] || cmake -S . -B build >/dev/null
sources=$(ls module/*.cpp cv/*.cpp numeric/*.cpp text/*.cpp standin/src/*.cpp platform/src/*.cpp core/src/*.cpp engine/src/*.cpp kit/*.cpp tool/*.cpp | grep -v library_entry.cpp)
# useStlAlgorithm is left out: the module's loops read like the steps they
# implement, and that is worth more here than an algorithm call.
cppcheck --enable=warning,style,performance,portability --std=c++20 --quiet --inline-suppr --error-exitcode=1 \
  --suppress=useStlAlgorithm \
  -I build/generated $(for dir in */include; do printf -- '-I %s ' "$dir"; done) $sources
clang-tidy -p build --quiet --warnings-as-errors='*' $sources
echo "lint: clean"
