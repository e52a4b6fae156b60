#!/usr/bin/env bash
# Installs what the build and the tests need beyond the base image, when it
# is missing, then checks that every command they run is there. Needs root
# (or sudo) only when something is missing.
#   scripts/setup.sh            the native build and its tests
#   scripts/setup.sh --windows  also the MinGW-w64 cross compiler and Wine
# Any --GROUP adds the lines of that group below; several may be given.
set -euo pipefail

# One requirement a line:  KIND  NAME  PACKAGE  [GROUP]
#   command  a program the build or a test runs (looked up on PATH)
#   package  a library, headers or data (looked up with dpkg)
# A line with a GROUP counts only when --GROUP is given.
requirements='
command  cmake                        cmake
command  ctest                        cmake
command  g++                          g++
command  clang                        clang
command  clang++                      clang
command  python3                      python3
command  gcovr                        gcovr
command  gnuplot                      gnuplot-nox
command  flock                        util-linux
command  dpkg-shlibdeps               dpkg-dev
command  unzip                        unzip
package  libclang-rt-14-dev           libclang-rt-14-dev
package  libgtest-dev                 libgtest-dev
package  libgmock-dev                 libgmock-dev
package  libbenchmark-dev             libbenchmark-dev
package  libcli11-dev                 libcli11-dev
package  libfmt-dev                   libfmt-dev
package  nlohmann-json3-dev           nlohmann-json3-dev
package  python3-mpmath               python3-mpmath
command  R                            r-base-core
command  Rscript                      r-base-core
package  r-base-dev                   r-base-dev
package  r-cran-testthat              r-cran-testthat
command  pkg-config                   pkg-config
command  /usr/bin/python3             python3
package  python3-venv                 python3-venv
package  python3-numpy                python3-numpy
package  python3-pytest               python3-pytest
package  python3-setuptools           python3-setuptools
package  python3-wheel                python3-wheel
package  python3-build                python3-build
package  r-cran-knitr                 r-cran-knitr               r
package  r-cran-rmarkdown             r-cran-rmarkdown           r
command  pandoc                       pandoc                     r
command  tidy                         tidy                       r
command  qpdf                         qpdf                       r
command  x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix windows
command  x86_64-w64-mingw32-objdump   binutils-mingw-w64-x86-64  windows
command  wine                         wine                       windows
command  wineserver                   wine                       windows
'

groups=()
for argument in "$@"; do
  [[ "$argument" == --?* ]] || { echo "setup: unknown argument '$argument'" >&2; exit 2; }
  groups+=("${argument#--}")
done

present() {  # KIND NAME
  if [[ "$1" == command ]]; then
    command -v "$2" >/dev/null 2>&1
  else
    dpkg-query -W -f='${Status}' "$2" 2>/dev/null | grep -q "install ok installed"
  fi
}

wanted=()   # "KIND NAME PACKAGE" of every requirement that counts
while read -r kind name package group; do
  [[ -n "$kind" ]] || continue
  if [[ -n "$group" ]]; then
    [[ " ${groups[*]} " == *" $group "* ]] || continue
  fi
  wanted+=("$kind $name $package")
done <<<"$requirements"
for group in "${groups[@]}"; do
  grep -Eq "^[a-z]+ +[^ ]+ +[^ ]+ +$group *$" <<<"$requirements" ||
    { echo "setup: unknown option --$group" >&2; exit 2; }
done

missing=()
for requirement in "${wanted[@]}"; do
  read -r kind name package <<<"$requirement"
  if ! present "$kind" "$name" && [[ " ${missing[*]} " != *" $package "* ]]; then
    missing+=("$package")
  fi
done

if [[ ${#missing[@]} -gt 0 ]]; then
  echo "setup: installing ${missing[*]}" >&2
  as_root=()
  if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "setup: need root to install ${missing[*]}" >&2; exit 1; }
    as_root=(sudo)
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${as_root[@]}" apt-get update -qq
  "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  hash -r
fi

for requirement in "${wanted[@]}"; do
  read -r kind name package <<<"$requirement"
  present "$kind" "$name" || { echo "setup: still missing $kind $name (from package $package)" >&2; exit 1; }
done
