#!/usr/bin/env bash
# ljungcv(1), gzipped, from the command's own help: help2man makes the page
# from `ljungcv --help` and `--version`, and each subcommand's --help is added
# as a section of its own. help2man dates the page by SOURCE_DATE_EPOCH when
# it is set, and gzip -n leaves out the time stamp, so the bytes repeat.
# Usage: manpage.sh HELP2MAN LJUNGCV OUTPUT.gz
set -euo pipefail
help2man=$1 ljungcv=$2 output=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

{
  echo '[SUBCOMMANDS]'
  for subcommand in table eval plot limits info; do
    echo ".SS \"ljungcv $subcommand\""
    echo '.nf'
    # Backslashes, and dots or quotes that open a line, would be roff requests.
    "$ljungcv" "$subcommand" --help | sed -e 's/\\/\\e/g' -e "s/^[.']/\\\\\\&&/"
    echo '.fi'
  done
} >"$work/subcommands.h2m"

LC_ALL=C.UTF-8 "$help2man" --no-info --section 1 --name 'critical values of outlier tests (LJUNGCV)' \
  --include "$work/subcommands.h2m" --output "$work/ljungcv.1" "$ljungcv"
gzip -9n <"$work/ljungcv.1" >"$work/ljungcv.1.gz"
mkdir -p "$(dirname "$output")"
mv "$work/ljungcv.1.gz" "$output"
