#!/usr/bin/env bash
# The installed kit as an embedder meets it: install the build into a
# prefix, move the prefix (it must not depend on where it was installed),
# then build the examples against it with find_package and, the C one, with
# pkg-config, and run them.
# Usage: test_install.sh BUILD_DIR SOURCE_DIR C_COMPILER CXX_COMPILER
set -euo pipefail
build=$1 source=$2 cc=$3 cxx=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/installed" >/dev/null
mv "$work/installed" "$work/prefix"
prefix=$work/prefix
for file in include/cvmodule/cvhost.h include/cvmodule/host/host_toolkit.h include/cvmodule/standin/module.h \
            lib/libcvhost.so lib/libstandin.a lib/libcvmodule.so lib/cmake/cvmodule/cvmoduleConfigVersion.cmake \
            lib/pkgconfig/cvhost.pc share/doc/cvmodule/LICENSE bin/ljungcv; do
  [[ -e "$prefix/$file" ]] || { echo "not installed: $file" >&2; exit 1; }
done
if grep -rlF -e "$(realpath "$build")" -e "$(realpath "$source")" "$prefix"; then
  echo "the installed files above name the build or source tree" >&2
  exit 1
fi

expect() {  # expect TEXT COMMAND...: the command succeeds and prints TEXT
  local output
  output=$("${@:2}")
  grep -qxF "$1" <<<"$output" || { printf 'expected "%s" from %s, got:\n%s\n' "$1" "$2" "$output" >&2; exit 1; }
}

cmake -S "$source/examples" -B "$work/examples" -DCMAKE_PREFIX_PATH="$prefix" \
      -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build "$work/examples" >/dev/null
expect "LJUNGCV(10, 0.05) = 3.087110344600084" "$work/examples/ljungcv_values_c"
expect 'LJUNGCV(10, 0.05, "C") = 3.087110344600084 (status 0)' \
       "$work/examples/ljungcv_values_cpp" "$prefix/lib/libcvmodule.so"

export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
# shellcheck disable=SC2046  # pkg-config's output is a list of options
"$cc" -std=c89 -Wall -Wextra -o "$work/pkg_config_c" "$source/examples/ljungcv_values.c" \
      $(pkg-config --cflags --libs cvhost) -Wl,-rpath,"$prefix/lib"
expect "LJUNGCV(10, 0.05) = 3.087110344600084" "$work/pkg_config_c"
echo "installed kit: find_package and pkg-config builds run"
