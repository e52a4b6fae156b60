#!/usr/bin/env bash
# The README's first steps as a newcomer takes them, on a fresh copy of the
# tree (scripts/copy-tree.sh: as a clone has it, with no build):
# its `scripts/run.sh` line, then its kit install line, each block run as
# written in a fresh shell with HOME a temporary directory. The installed
# command must print the README's value, and the manual's removal
# (docs/embedding.md) must leave nothing behind. The copy is built by
# run.sh alone, so a line that needs more than run.sh builds fails here.
#   scripts/test-getting-started.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/stages.sh
stages test-getting-started 4
work=$(mktemp -d)
trap 'untick; rm -rf -- "$work"' EXIT
copy=$work/cvmodule home=$work/home
mkdir -p -- "$copy" "$home"

route() {  # route PAGE NAME: the page's block for that route
  "$root/tests/support/doc_route.py" "$root/$1" "$2"
}
in_shell() {  # in_shell COMMANDS: a fresh shell in the copy with nothing but HOME and PATH
  (cd "$copy" && env -i HOME="$home" PATH="$PATH" bash -euo pipefail -c "$1")
}

stage "a fresh copy of the tree in $copy"
scripts/copy-tree.sh "$copy"

stage "the README's first line, as written: $(route README.md run | sed 's/ *#.*//')"
log=$work/run.log
ticking 30 progress "$log"
status=0
built "$log" in_shell "$(route README.md run)" || status=$?
untick
[[ $status -eq 0 ]] || exit "$status"

stage "the README's kit install, as written: $(route README.md kit-install)"
prefix=$home/.local/cvmodule
if ! in_shell "$(route README.md kit-install)" >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  echo "test-getting-started: the README's kit install fails after its scripts/run.sh" >&2
  exit 1
fi
value=$("$prefix/bin/ljungcv" 10 0.05)
[[ "$value" == 3.087110345 && -e "$prefix/lib/libcvhost.so" && -e "$prefix/include/cvmodule/cvhost.h" ]] || {
  echo "test-getting-started: the installed kit is incomplete, or its ljungcv 10 0.05 printed '$value'" >&2
  exit 1
}

stage "docs/embedding.md's removal, as written"
in_shell "$(route docs/embedding.md kit-remove)"
if [[ -e "$prefix" ]]; then
  echo "test-getting-started: the manual's removal left behind:" >&2
  find "$prefix" >&2
  exit 1
fi
echo "test-getting-started: done in $(stages_elapsed)" >&2
