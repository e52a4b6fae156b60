# shellcheck shell=bash
# Sourced by install-r.sh and test-r.sh: the steps both take before R is
# given the package. Expects to run from the repository's root.

# r_kit_and_tarball TREE PREFIX WORK
# Builds the configured tree TREE, installs the embedding kit (the module,
# libcvhost, headers, pkg-config file, ljungcv) into PREFIX, and builds the
# package's tarball, ljungcv_*.tar.gz, in WORK (R's messages on stdout).
r_kit_and_tarball() {
  local tree=$1 prefix=$2 work=$3 root=$PWD
  cmake --build "$tree" -j2 >/dev/null
  cmake --install "$tree" --prefix "$prefix" >/dev/null
  (cd "$work" && R CMD build --no-build-vignettes "$root/r/ljungcv")
}
