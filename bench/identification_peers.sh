#!/usr/bin/env bash
# The model identification against forecast::auto.arima, run as a peer on
# the same series: seeded series of known models (identification_study
# --write) and R's own data sets, each identified by both; then the shares
# and the CPU times a series (identification_study --compare).
#
#   bench/identification_peers.sh BUILD_DIR [SEEDS [DIR]]
#
# SEEDS: series a model (default 40; 8 models). DIR: a directory to keep the
# series and the peer's choices in; when it already holds them (peer.tsv),
# only our side runs again. Needs R and Debian's r-cran-forecast
# (scripts/setup.sh --bench). Prints a line a series, then the Markdown table.
set -euo pipefail
[[ $# -ge 1 && $# -le 3 ]] || { echo "usage: bench/identification_peers.sh BUILD_DIR [SEEDS [DIR]]" >&2; exit 2; }
study=$1/bench/identification_study
[[ -x "$study" ]] || {
  echo "identification_peers: $study is not built (cmake --build $1 --target identification_study)" >&2
  exit 1
}
seeds=${2:-40}
[[ "$seeds" =~ ^[1-9][0-9]*$ ]] || { echo "identification_peers: SEEDS must be a positive whole number" >&2; exit 2; }

if [[ $# -eq 3 ]]; then
  directory=$3
  mkdir -p "$directory"
else
  directory=$(mktemp -d)
  trap 'rm -rf "$directory"' EXIT
fi
if [[ ! -f "$directory/peer.tsv" ]]; then
  mkdir -p "$directory/series"
  "$study" --write "$directory" --seeds "$seeds"
  Rscript --vanilla "$(dirname "$0")/identification_peer.R" "$directory"
fi
"$study" --compare "$directory"
