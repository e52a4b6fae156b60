#!/usr/bin/env bash
# Copies the repository into DIR as a fresh clone holds it: every file git
# tracks or would track, as it is now (changes not yet committed included),
# and nothing that is ignored, so no build trees. For tests that run the
# manual's routes from the start.
#   scripts/copy-tree.sh DIR
set -euo pipefail
[[ $# -eq 1 && -n "$1" ]] || { echo "usage: scripts/copy-tree.sh DIR" >&2; exit 2; }
mkdir -p -- "$1"
target=$(cd -- "$1" && pwd)
cd "$(dirname "$0")/.."
git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' file; do
    if [[ -e "$file" || -L "$file" ]]; then printf '%s\0' "$file"; fi  # not the ones deleted
  done | tar --null -T - -cf - | tar -xf - -C "$target"
