#!/usr/bin/env bash
# Installs what a script needs beyond the base image, when it is missing,
# then checks that every command it runs is there. Needs root (or sudo) only
# when something is missing.
#   scripts/setup.sh                  the build of ljungcv, its module and the kit (run.sh),
#                                     and gnuplot, which `ljungcv plot` draws with
#   scripts/setup.sh --tests          also the test suite's tools and libraries
#   scripts/setup.sh --r --python     also the R or Python packages' needs
#   scripts/setup.sh --package        also what the release packages need
#   scripts/setup.sh --windows        also the MinGW-w64 cross compiler
#   scripts/setup.sh --wine           also Wine, which runs the Windows tests
#   scripts/setup.sh --bench          also the peers the benchmarks run (R's forecast package)
# Several groups may be given; test.sh gives them all but --bench.
set -euo pipefail

# One requirement a line:  KIND  NAME  PACKAGE  [GROUP[,GROUP...]]
#   command  a program the build or a test runs (looked up on PATH)
#   package  a library, headers or data (looked up with dpkg)
# A line without a group is the base set; a line with groups counts when
# one of them is given.
requirements='
command  cmake                        cmake
command  gcc                          gcc
command  g++                          g++
command  make                         make
package  libcli11-dev                 libcli11-dev
package  libfmt-dev                   libfmt-dev
package  nlohmann-json3-dev           nlohmann-json3-dev
package  libeigen3-dev                libeigen3-dev
package  liblbfgspp-dev               liblbfgspp-dev
command  gnuplot                      gnuplot-nox
command  ctest                        cmake                      tests
command  clang                        clang                      tests
command  clang++                      clang                      tests
command  python3                      python3                    tests
command  gcovr                        gcovr                      tests
command  flock                        util-linux                 tests
command  unzip                        unzip                      tests
command  pkg-config                   pkg-config                 tests,r
command  man                          man-db                     tests
package  libclang-rt-14-dev           libclang-rt-14-dev         tests
package  libgtest-dev                 libgtest-dev               tests
package  libgmock-dev                 libgmock-dev               tests
package  libbenchmark-dev             libbenchmark-dev           tests
package  python3-mpmath               python3-mpmath             tests
command  dpkg-shlibdeps               dpkg-dev                   tests,package
command  dpkg-parsechangelog          dpkg-dev                   tests,package
command  help2man                     help2man                   tests,package
command  lintian                      lintian                    tests,package
command  R                            r-base-core                r
command  Rscript                      r-base-core                r,bench
package  r-base-dev                   r-base-dev                 r
package  r-cran-testthat              r-cran-testthat            r
package  r-cran-knitr                 r-cran-knitr               r
package  r-cran-rmarkdown             r-cran-rmarkdown           r
command  pandoc                       pandoc                     r
command  tidy                         tidy                       r
command  qpdf                         qpdf                       r
package  r-cran-forecast              r-cran-forecast            bench
command  /usr/bin/python3             python3                    python
package  python3-venv                 python3-venv               python
package  python3-numpy                python3-numpy              python
package  python3-pytest               python3-pytest             python
package  python3-setuptools           python3-setuptools         python
package  python3-wheel                python3-wheel              python
package  python3-build                python3-build              python
package  python3-pandas               python3-pandas             python
package  python3-statsmodels          python3-statsmodels        python
package  python3-matplotlib           python3-matplotlib         python
package  python3-tqdm                 python3-tqdm               python
package  python3-dask                 python3-dask               python
package  python3-distributed          python3-distributed        python
command  x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix windows
command  x86_64-w64-mingw32-objdump   binutils-mingw-w64-x86-64  windows
command  wine                         wine                       wine
command  wineserver                   wine                       wine
'

groups=()
for argument in "$@"; do
  [[ "$argument" == --?* ]] || { echo "setup: unknown argument '$argument'" >&2; exit 2; }
  groups+=("${argument#--}")
done
for group in "${groups[@]}"; do
  grep -Eq "^[a-z]+ +[^ ]+ +[^ ]+ +([a-z]+,)*$group(,[a-z]+)* *$" <<<"$requirements" ||
    { echo "setup: unknown option --$group" >&2; exit 2; }
done

present() {  # KIND NAME
  if [[ "$1" == command ]]; then
    command -v "$2" >/dev/null 2>&1
  else
    dpkg-query -W -f='${Status}' "$2" 2>/dev/null | grep -q "install ok installed"
  fi
}

wanted=()   # "KIND NAME PACKAGE" of every requirement that counts
while read -r kind name package line_groups; do
  [[ -n "$kind" ]] || continue
  if [[ -n "$line_groups" ]]; then
    counts=0
    for group in ${line_groups//,/ }; do
      [[ " ${groups[*]} " == *" $group "* ]] && counts=1
    done
    [[ $counts -eq 1 ]] || continue
  fi
  wanted+=("$kind $name $package")
done <<<"$requirements"

missing=()
for requirement in "${wanted[@]}"; do
  read -r kind name package <<<"$requirement"
  if ! present "$kind" "$name" && [[ " ${missing[*]} " != *" $package "* ]]; then
    missing+=("$package")
  fi
done

if [[ ${#missing[@]} -gt 0 ]]; then
  echo "setup: installing ${missing[*]} (apt-get)" >&2
  as_root=()
  if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "setup: need root to install ${missing[*]}" >&2; exit 1; }
    as_root=(sudo)
  fi
  export DEBIAN_FRONTEND=noninteractive
  # Another apt-get at work holds the lock: wait for it rather than fail.
  apt=(apt-get -o DPkg::Lock::Timeout=600 -qq)
  "${as_root[@]}" "${apt[@]}" update
  "${as_root[@]}" "${apt[@]}" install -y --no-install-recommends "${missing[@]}" >/dev/null
  hash -r
fi

for requirement in "${wanted[@]}"; do
  read -r kind name package <<<"$requirement"
  present "$kind" "$name" || { echo "setup: still missing $kind $name (from package $package)" >&2; exit 1; }
done
