#!/usr/bin/env bash
# The R package as a user gets it: the self-contained tarball of
# scripts/r-tarball.sh, checked with R CMD check --as-cran (its testthat
# tests and vignette included) with no kit installed and no CVHOST_PREFIX;
# fails on any ERROR or WARNING, or when a test was skipped. The tests
# compare the package with the `ljungcv` command of a native build tree.
# Then times one million values.
#   scripts/test-r.sh                      configures and builds build-r/
#   NATIVE_TREE=build scripts/test-r.sh    uses that configured tree
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tree=${NATIVE_TREE:-build-r}
scripts/setup.sh --r
if [[ -z "${NATIVE_TREE:-}" ]]; then
  cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=Release -DCVMODULE_BUILD_TESTS=OFF -DCVMODULE_BUILD_BENCHMARKS=OFF \
        >/dev/null
fi
cmake --build "$tree" --target ljungcv cvmodule -j2 >/dev/null

work=$root/$tree/r-package
rm -rf -- "$work"
mkdir -p -- "$work"
tarball=$(NATIVE_TREE=$tree scripts/r-tarball.sh "$work")
cd "$work"
# Offline: no CRAN queries, no time server.
unset CVHOST_PREFIX
export _R_CHECK_CRAN_INCOMING_REMOTE_=false _R_CHECK_FUTURE_FILE_TIMESTAMPS_=false
export _R_CHECK_FORCE_SUGGESTS_=true
LJUNGCV_COMMAND="$root/$tree/bin/ljungcv" R CMD check --as-cran --no-manual "$tarball" | tee check.out
status=$(grep '^Status:' check.out || echo "Status: none")
if [[ "$status" == *ERROR* || "$status" == *WARNING* || "$status" == "Status: none" ]]; then
  echo "test-r: R CMD check: $status (log: $work/ljungcv.Rcheck/00check.log)" >&2
  exit 1
fi
if ! grep -q 'SKIP 0 ' ljungcv.Rcheck/tests/testthat.Rout; then
  echo "test-r: tests were skipped (ljungcv.Rcheck/tests/testthat.Rout)" >&2
  exit 1
fi

# install-r.sh: unknown options and missing values refused with usage
# (exit 2, nothing done); then both options honoured in either order, with
# paths holding a space and an ampersand. The timing below uses that library.
for arguments in "--bogus" "-l" "--prefix" "-l $work/unused --bogus" "stray"; do
  # shellcheck disable=SC2086  # each case is a list of words
  if "$root/scripts/install-r.sh" $arguments >/dev/null 2>install.err; then status=0; else status=$?; fi
  if [[ $status -ne 2 ]] || ! grep -q '^usage: ' install.err || [[ -e "$work/unused" ]]; then
    echo "test-r: install-r.sh $arguments: exit $status, not a refusal with usage" >&2
    exit 1
  fi
done
# The manual's commands (docs/r.md) as written, each block in a fresh shell
# from a fresh copy of the tree (as a clone has it: no build-r/ yet), with
# HOME a directory whose name holds a space and an ampersand: the install
# (both options; it builds the kit in the copy's build-r/ as it would for
# a user), a value through Rscript, the R session shown there, line by line
# as R prints it, the vignette's lines, and the removal.
copy=$work/clone home="$work/home dir&1"
mkdir -p -- "$home"
"$root/scripts/copy-tree.sh" "$copy"
library=$home/R/library prefix=$home/.local/cvmodule
route() { "$root/tests/support/doc_route.py" "$root/docs/r.md" "$1"; }
in_shell() {  # in_shell COMMANDS
  (cd "$copy" && env -i HOME="$home" PATH="$PATH" bash -euo pipefail -c "$1")
}
# The install is never silent for long: a line at least every 45 s.
if ! in_shell "$(route r-install)" 2>&1 | "$root/tests/support/longest_silence.py" 45 >install.out; then
  cat install.out >&2
  echo "test-r: docs/r.md's install command failed, or left its user waiting without a word" >&2
  exit 1
fi
echo "test-r: docs/r.md's install command: $(tail -n 1 install.out)"
[[ -f "$library/ljungcv/libs/libcvmodule.so" && -x "$prefix/bin/ljungcv" ]] ||
  { echo "test-r: install-r.sh did not install into '$library' and '$prefix'" >&2; exit 1; }
expected=$(route r-use | sed -n 's/.*   # //p')
[[ "$(in_shell "$(route r-use)")" == "$expected" ]] ||
  { echo "test-r: docs/r.md's Rscript line does not print '$expected'" >&2; exit 1; }
route r-session >session.expected
grep '^> ' session.expected | cut -c3- >session.R
(cd "$root" && R_LIBS="$library" R --vanilla -q --no-save <"$work/session.R" >"$work/session.out" 2>&1)
# R ends a warning with a blank, and the session with a last prompt.
sed -e 's/ *$//' -e '${/^>$/d}' session.out >session.actual
diff -u session.expected session.actual >&2 || { echo "test-r: docs/r.md's R session prints otherwise" >&2; exit 1; }
# The vignette without a browser: its page's path, its text, its code run
# (from $work, where its plots' Rplots.pdf goes).
(env -i HOME="$home" PATH="$PATH" bash -euo pipefail -c "$(route r-vignette)") >vignette.out 2>&1 ||
  { cat vignette.out >&2; exit 1; }
[[ -s Rplots.pdf ]] || { echo "test-r: docs/r.md's vignette code drew no Rplots.pdf" >&2; exit 1; }
page=$(head -n 1 vignette.out)
if [[ "$page" != */doc/ljungcv.html || ! -s "$page" ]] || ! grep -q '^title: "' vignette.out ||
   ! grep -q '^> library(ljungcv)$' vignette.out; then
  echo "test-r: docs/r.md's vignette lines print no page, text or code run:" >&2
  head -n 20 vignette.out >&2
  exit 1
fi

# One million values, mixed counts and levels, each method, bare and
# assessed. The limit is on CPU time, which other load on the machine does
# not stretch.
R_LIBS="$library" Rscript -e '
library(ljungcv)
set.seed(1)
n <- floor(runif(1e6, 1, 1e6)); alpha <- runif(1e6, 0, 0.1)
for (method in c("C", "L")) for (check in c(FALSE, TRUE)) {
  time <- system.time(values <- suppressWarnings(ljungcv(n, alpha, method, check = check)))
  cpu <- time[["user.self"]] + time[["sys.self"]]
  cat(sprintf("test-r: 1,000,000 values, method %s, check = %s: %.3f s CPU, %.3f s wall\n", method, check, cpu,
              time[["elapsed"]]))
  if (cpu >= 2) stop("one million values took two seconds or more")
}'

# The removal leaves nothing of the package or the kit behind in HOME.
in_shell "$(route r-remove)" >remove.out 2>&1 || { cat remove.out >&2; exit 1; }
in_shell "$(route r-remove-kit)" >remove.out 2>&1 || { cat remove.out >&2; exit 1; }
if [[ -e "$home/R" || -e "$prefix" ]]; then
  echo "test-r: docs/r.md's removal left behind:" >&2
  find "$home/R" "$prefix" >&2 2>/dev/null
  exit 1
fi
