#!/usr/bin/env bash
# The release packages as a user gets them: cpack from the build tree, each
# package unpacked into a temporary directory, what it must hold checked,
# and the packaged ljungcv run from there (through EMULATOR, e.g. Wine, for
# the Windows zip).
# Usage: test_packages.sh BUILD_DIR [EMULATOR]
set -euo pipefail
build=$(realpath "$1") emulator=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -B "$work/out" >/dev/null)

fail() { echo "$*" >&2; exit 1; }
holds() {  # holds ROOT FILE...: every FILE is in the unpacked ROOT
  local root=$1 file
  for file in "${@:2}"; do
    [[ -e "$root/$file" ]] || fail "package lacks $file"
  done
}
runs() {  # runs LJUNGCV: the packaged command prints the value
  local output
  output=$(${emulator:+"$emulator"} "$1" 10 0.05 | tr -d '\r')
  [[ "$output" == "3.087110345" ]] || fail "$1 10 0.05 printed '$output'"
}
kit=(include/cvmodule/cvhost.h include/cvmodule/host/host_toolkit.h include/cvmodule/standin/module.h
     lib/cmake/cvmodule/cvmoduleConfig.cmake lib/cmake/cvmodule/cvmoduleConfigVersion.cmake
     lib/pkgconfig/cvhost.pc share/doc/cvmodule/README.md share/doc/cvmodule/LICENSE)

if [[ -z "$emulator" ]]; then
  tarball=$(echo "$work"/out/cvmodule-*-Linux.tar.gz)
  mkdir "$work/tgz"
  tar -xzf "$tarball" -C "$work/tgz"
  root=$(echo "$work"/tgz/cvmodule-*-Linux)
  holds "$root" bin/ljungcv lib/libcvmodule.so lib/libcvhost.so "${kit[@]}"
  runs "$root/bin/ljungcv"

  deb=$(echo "$work"/out/cvmodule_*.deb)
  dpkg-deb -x "$deb" "$work/deb"
  holds "$work/deb/usr" bin/ljungcv lib/libcvmodule.so lib/libcvhost.so "${kit[@]}"
  runs "$work/deb/usr/bin/ljungcv"
  [[ $(dpkg-deb -f "$deb" Recommends) == *gnuplot* ]] || fail "the .deb does not recommend gnuplot"
  [[ $(dpkg-deb -f "$deb" Depends) == *libc6* ]] || fail "the .deb declares no dependencies"
else
  zip=$(echo "$work"/out/cvmodule-*-win64.zip)
  unzip -q "$zip" -d "$work/zip"
  root=$(echo "$work"/zip/cvmodule-*-win64)
  holds "$root" bin/ljungcv.exe bin/cvhost.dll lib/cvmodule.dll "${kit[@]}"
  runs "$root/bin/ljungcv.exe"
fi
echo "packages unpack and run: $(cd "$work/out" && ls -- *.tar.gz *.deb *.zip 2>/dev/null | tr '\n' ' ')"
