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

# Backslashes, and dots or quotes that open a line, would be roff requests;
# a plain - may print as a typographic hyphen, which a pasted command does
# not take.
roff_verbatim() {
  sed -e 's/\\/\\e/g' -e "s/^[.']/\\\\\&&/" -e 's/-/\\-/g'
}

{
  # The examples of `ljungcv --help`, one a line as there: help2man would
  # run every example after the first one without a comment into a paragraph.
  # This replaces its whole section, so the exit codes that follow the
  # examples there come here too, an item each.
  echo '[=EXAMPLES]'
  echo '.nf'
  "$ljungcv" --help | sed -n '/^Examples:$/,/^$/{/^Examples:$/d;/^$/d;s/^  //;p;}' | roff_verbatim
  echo '.fi'
  echo '.SS "Exit codes:"'
  "$ljungcv" --help | sed -n '/^Exit codes:$/,/^$/{/^Exit codes:$/d;/^$/d;p;}' | roff_verbatim |
    awk '/^  [0-9]+  / { print ".TP"; print $1; sub(/^  [0-9]+  /, ""); print; next } { sub(/^ +/, ""); print }'
  echo
  echo '[SUBCOMMANDS]'
  for subcommand in table eval plot limits reach info; do
    echo ".SS \"ljungcv $subcommand\""
    echo '.nf'
    "$ljungcv" "$subcommand" --help | roff_verbatim
    echo '.fi'
  done
} >"$work/subcommands.h2m"

LC_ALL=C.UTF-8 "$help2man" --no-info --section 1 --name 'critical values of outlier tests (LJUNGCV)' \
  --include "$work/subcommands.h2m" --output "$work/ljungcv.1" "$ljungcv"
gzip -9n <"$work/ljungcv.1" >"$work/ljungcv.1.gz"
mkdir -p "$(dirname "$output")"
mv "$work/ljungcv.1.gz" "$output"
