#!/usr/bin/env bash
# The release packages as a user gets them, each unpacked into a temporary
# directory, what it must hold checked, and the packaged ljungcv run from
# there (through EMULATOR, e.g. Wine, for the Windows zip). On Linux the
# tarball comes from BUILD_DIR and the .deb files from a tree configured for
# /usr beside it (BUILD_DIR/debian-packages, built on each run as needed).
# Usage: test_packages.sh BUILD_DIR [EMULATOR]
set -euo pipefail
build=$(realpath "$1") emulator=${2:-}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
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
linux_kit=(share/man/man3/cvhost.3.gz)

# The completion offers exactly the options each --help lists (and --module,
# which the main command takes after a subcommand too), the subcommands, and
# for --method and --format only values the command accepts.
check_completion() {  # check_completion LJUNGCV COMPLETION_FILE
  local ljungcv=$1 script=$2 subcommand value
  # shellcheck source=/dev/null
  completes() { (source "$script"; COMP_WORDS=(ljungcv "$@"); COMP_CWORD=$#; _ljungcv; printf '%s\n' "${COMPREPLY[@]}") | sort; }
  listed() { "$ljungcv" "$@" --help | grep -oE '^  -[-a-z0-9,]+' | tr ',' '\n' | sed 's/^ *//'; }
  [[ "$(completes '')" == "$("$ljungcv" --help | sed -n '/^Subcommands:/,/^$/p' | awk 'NR > 1 && NF {print $1}' | sort)" ]] ||
    fail "completion offers subcommands '$(completes '' | tr '\n' ' ')'"
  for subcommand in '' table eval plot limits reach outliers info; do
    [[ "$(completes $subcommand -)" == "$({ listed $subcommand; echo --module; } | sort -u)" ]] ||
      fail "completion of 'ljungcv $subcommand -' offers '$(completes $subcommand - | tr '\n' ' ')'"
  done
  for value in $(completes table --method ''); do "$ljungcv" table --n 2 --alpha 0.05 --method "$value" >/dev/null; done
  for value in $(completes limits --method ''); do "$ljungcv" limits --alpha 0.05 --method "$value" >/dev/null; done
  for value in $(completes reach --method ''); do "$ljungcv" reach 3.5 --alpha 0.05 --method "$value" >/dev/null; done
  for value in $(completes reach --format ''); do "$ljungcv" reach 3.5 --alpha 0.05 --format "$value" >/dev/null; done
  for value in $(completes outliers --format '') $(completes outliers --method ''); do
    seq 1 12 | "$ljungcv" outliers --format "$value" >/dev/null 2>&1 ||
      seq 1 12 | "$ljungcv" outliers --method "$value" >/dev/null
  done
  for value in $(completes table --format ''); do "$ljungcv" table --n 2 --alpha 0.05 --format "$value" >/dev/null; done
  for value in $(completes eval --format '') $(completes eval --method ''); do
    echo '10 0.05' | "$ljungcv" eval --format "$value" >/dev/null 2>&1 ||
      echo '10 0.05' | "$ljungcv" eval --method "$value" >/dev/null
  done
}

check_debs() {  # check_debs DIR: the cvmodule, cvmodule-dev and cvmodule-standin-dev packages in DIR
  local deb dev standin root=$work/deb usr=$work/deb/usr multiarch=usr/lib/x86_64-linux-gnu output
  deb=$(echo "$1"/cvmodule_*.deb) dev=$(echo "$1"/cvmodule-dev_*.deb) standin=$(echo "$1"/cvmodule-standin-dev_*.deb)
  dpkg-deb -x "$deb" "$root"
  holds "$root" usr/bin/ljungcv $multiarch/libcvhost.so.1 $multiarch/cvmodule/libcvmodule.so \
        usr/share/doc/cvmodule/copyright usr/share/doc/cvmodule/changelog.gz usr/share/doc/cvmodule/README.md \
        usr/share/man/man1/ljungcv.1.gz usr/share/bash-completion/completions/ljungcv
  [[ ! -e $root/usr/include ]] || fail "the runtime package holds headers"
  runs "$usr/bin/ljungcv"
  [[ $(dpkg-deb -f "$deb" Recommends) == *gnuplot* ]] || fail "the .deb does not recommend gnuplot"
  [[ $(dpkg-deb -f "$deb" Depends) == *libc6* ]] || fail "the .deb declares no dependencies"

  # Debian's machine-readable copyright, carrying the licence's text.
  head -1 "$usr/share/doc/cvmodule/copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "copyright is not in the machine-readable format"
  diff <(awk 'text {sub(/^ /, ""); sub(/^\.$/, ""); print} /^License: Expat$/ {text = ++seen == 2}' \
         "$usr/share/doc/cvmodule/copyright") "$source_dir/LICENSE" >/dev/null || fail "copyright does not carry LICENSE"
  [[ $(zcat "$usr/share/doc/cvmodule/changelog.gz" | dpkg-parsechangelog -l - -S Version) == $(dpkg-deb -f "$deb" Version) ]] ||
    fail "the changelog's version is not the package's"
  output=$(MANWIDTH=80 man --warnings -l "$usr/share/man/man1/ljungcv.1.gz" 2>&1 >/dev/null) || fail "man ljungcv fails"
  [[ -z "$output" ]] || fail "man ljungcv warns: $output"
  MANWIDTH=80 man -l "$usr/share/man/man1/ljungcv.1.gz" 2>/dev/null | grep -q '^ *ljungcv plot$' ||
    fail "the man page lacks the subcommands"
  check_completion "$usr/bin/ljungcv" "$usr/share/bash-completion/completions/ljungcv"

  dpkg-deb -x "$dev" "$root"
  holds "$root" usr/include/cvmodule/cvhost.h $multiarch/libcvhost.so $multiarch/cmake/cvmodule/cvmoduleConfig.cmake \
        $multiarch/pkgconfig/cvhost.pc usr/share/doc/cvmodule-dev/copyright usr/share/doc/cvmodule-dev/changelog.gz \
        usr/share/man/man3/cvhost.3.gz
  [[ ! -e $root/usr/include/cvmodule/standin && ! -e $root/$multiarch/libstandin.a ]] ||
    fail "cvmodule-dev holds the stand-in host"
  # The stand-in host for host integrators, a package of its own.
  dpkg-deb -x "$standin" "$root"
  holds "$root" usr/include/cvmodule/standin/module.h usr/include/cvmodule/host/host_toolkit.h $multiarch/libstandin.a \
        $multiarch/cmake/cvmodule/cvmoduleStandinTargets.cmake usr/share/doc/cvmodule-standin-dev/copyright
  [[ $(dpkg-deb -f "$standin" Depends) == "cvmodule-dev (= $(dpkg-deb -f "$deb" Version))" ]] ||
    fail "cvmodule-standin-dev does not depend on its cvmodule-dev"
  output=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -l "$usr/share/man/man3/cvhost.3.gz" 2>&1 >/dev/null) ||
    fail "man cvhost fails"
  [[ -z "$output" ]] || fail "man cvhost warns: $output"
  [[ $(dpkg-deb -f "$dev" Depends) == "cvmodule (= $(dpkg-deb -f "$deb" Version))" ]] ||
    fail "cvmodule-dev does not depend on its cvmodule"
  output=$(export PKG_CONFIG_PATH=$root/$multiarch/pkgconfig
           pkg-config --variable=includedir cvhost; pkg-config --variable=libdir cvhost; pkg-config --libs cvhost | sed "s/ *$//")
  [[ "$output" == $'/usr/include\n/usr/lib/x86_64-linux-gnu\n-lcvhost' ]] || fail "cvhost.pc for /usr gives '$output'"
  if command -v lintian >/dev/null; then
    output=$(lintian "$deb" "$dev" "$standin" 2>/dev/null) || true
    ! grep '^E:' <<<"$output" || fail "lintian reports errors"
  fi
}

if [[ -z "$emulator" ]]; then
  tarball=$(echo "$work"/out/cvmodule-*-Linux.tar.gz)
  mkdir "$work/tgz"
  tar -xzf "$tarball" -C "$work/tgz"
  root=$(echo "$work"/tgz/cvmodule-*-Linux)
  holds "$root" bin/ljungcv lib/libcvmodule.so lib/libcvhost.so share/bash-completion/completions/ljungcv "${kit[@]}" \
        "${linux_kit[@]}"
  runs "$root/bin/ljungcv"

  tree=$build/debian-packages
  cmake -S "$source_dir" -B "$tree" -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_BUILD_TYPE=Release \
        -DCVMODULE_BUILD_TESTS=OFF -DCVMODULE_BUILD_BENCHMARKS=OFF >/dev/null
  cmake --build "$tree" -j2 >/dev/null
  (cd "$tree" && cpack -B "$work/out" >/dev/null 2>&1)
  check_debs "$work/out"
else
  zip=$(echo "$work"/out/cvmodule-*-win64.zip)
  unzip -q "$zip" -d "$work/zip"
  root=$(echo "$work"/zip/cvmodule-*-win64)
  holds "$root" bin/ljungcv.exe bin/cvhost.dll lib/cvmodule.dll "${kit[@]}"
  runs "$root/bin/ljungcv.exe"
fi
echo "packages unpack and run: $(cd "$work/out" && ls -- *.tar.gz *.deb *.zip 2>/dev/null | tr '\n' ' ')"
