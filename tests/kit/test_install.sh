#!/usr/bin/env bash
# The installed kit as an embedder meets it: install the build into a
# prefix, move the prefix (it must not depend on where it was installed),
# then build the examples against it with find_package and run them. Then
# the manual's route (docs/embedding.md) as a reader pastes it: each block
# run as written in a fresh shell, with HOME a temporary directory, from a
# directory standing for the repository root (its build/ is BUILD_DIR):
# install, the program built with the page's CMakeLists.txt and with
# pkg-config, and the removal, which must leave nothing behind.
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
            lib/pkgconfig/cvhost.pc share/doc/cvmodule/LICENSE share/man/man3/cvhost.3.gz bin/ljungcv; do
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

route() { "$source/tests/support/doc_route.py" "$source/docs/embedding.md" "$1"; }
home=$work/home root=$work/root
mkdir -p "$home/values" "$root"
ln -s "$(realpath "$build")" "$root/build"
in_shell() {  # in_shell DIRECTORY COMMANDS: a fresh shell with nothing but HOME and PATH
  (cd "$1" && env -i HOME="$home" PATH="$PATH" bash -euo pipefail -c "$2")
}
in_shell "$root" "$(route kit-install)" >/dev/null
route kit-program >"$home/values/values.c"
route kit-cmake >"$home/values/CMakeLists.txt"
expect "LJUNGCV(10, 0.05) = 3.087110344600084" in_shell "$home/values" "$(route kit-cmake-build)"
expect "LJUNGCV(10, 0.05) = 3.087110344600084" in_shell "$home/values" "$(route kit-pkg-config)"
in_shell "$root" "$(route kit-remove)"
if [[ -e "$home/.local/cvmodule" ]]; then
  echo "the manual's removal left behind:" >&2
  find "$home/.local/cvmodule" >&2
  exit 1
fi
echo "installed kit: the examples on a moved prefix, and the manual's route as written, run"
