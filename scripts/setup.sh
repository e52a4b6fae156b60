#!/usr/bin/env bash
# Installs what the build and the tests need beyond the base image, when it
# is missing. Needs root (or sudo) only when something is missing.
#   scripts/setup.sh            the native build and its tests
#   scripts/setup.sh --windows  also the MinGW-w64 cross compiler and Wine
set -euo pipefail

packages=(cmake g++ libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libfmt-dev nlohmann-json3-dev
          gcovr clang libclang-rt-14-dev python3)
packages+=(gnuplot-nox)  # ljungcv plot draws its pictures with gnuplot
if [[ "${1:-}" == "--windows" ]]; then
  packages+=(g++-mingw-w64-x86-64 wine64)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "setup: installing ${missing[*]}" >&2
as_root=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "setup: need root to install ${missing[*]}" >&2; exit 1; }
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
