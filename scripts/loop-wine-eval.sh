#!/usr/bin/env bash
# Runs one command case of the Windows suite over and over under Wine, as
# cli_test runs it (build-win/tests/windows/ljungcv-emulated, through
# cmake/wine-run.sh): `ljungcv eval a.txt - b.txt` with two lines on standard
# input and a line of 1 MiB in b.txt, which must exit 5 with one message.
# Counts the exit codes, the Wine servers that ran and the slow runs, and
# keeps each failure's output, so that a rare failure shows how often it
# comes and where it came from.
#   scripts/loop-wine-eval.sh [--load] [--fresh] [--rounds R] [RUNS]
#     RUNS        runs of the case per round (default 50)
#     --rounds R  rounds (default 1)
#     --load      the rest of the Windows suite (ctest -j2, cli_test left
#                 out) runs over and over beside the case
#     --fresh     each round starts with a Wine prefix that does not exist
#                 yet, as on a machine where Wine never ran (otherwise one
#                 uncounted run makes it first)
# The rounds use Wine prefixes of their own (under TMPDIR), never ~/.wine,
# and their Wine processes end with each round. Needs the tree build-win
# (cmake --preset mingw && cmake --build --preset mingw).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=50 rounds=1 load=0 fresh=0
while [[ $# -gt 0 ]]; do
  case $1 in
    --load) load=1; shift ;;
    --fresh) fresh=1; shift ;;
    --rounds) [[ $# -ge 2 ]] || { echo "loop-wine-eval: --rounds needs a count" >&2; exit 2; }; rounds=$2; shift 2 ;;
    [0-9]*) runs=$1; shift ;;
    *) echo "usage: scripts/loop-wine-eval.sh [--load] [--fresh] [--rounds R] [RUNS]" >&2; exit 2 ;;
  esac
done
emulated=$root/build-win/tests/windows/ljungcv-emulated
[[ -x "$emulated" ]] || { echo "loop-wine-eval: no $emulated; build the tree build-win first" >&2; exit 2; }

work=$(mktemp -d)
export WINEPREFIX=$work/wine
loader=
stop() {
  if [[ -n "$loader" ]]; then
    kill -- -"$loader" 2>/dev/null || true
    wait "$loader" 2>/dev/null || true
    loader=
  fi
  # The prefix's server, and with it every Wine process of that prefix.
  if [[ -d "$WINEPREFIX" ]]; then wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true; fi
}
trap 'stop; rm -rf -- "$work"' EXIT

cd "$work"
printf '1 0.05\n' >a.txt
{ printf '2 0.05\n'; head -c $((1 << 20)) /dev/zero | tr '\0' 9; printf ' 0.05\n3 0.05\n'; } >b.txt
cat >expected.out <<'EOF'
n,alpha,method,value,status,turned_down
1,0.05,C,1.9599639822884356,0,0
4,0.05,C,2.617987208887378,0,0
2,0.05,C,2.236476646021485,0,0
,,,,error,
3,0.05,C,2.444906165855073,0,0
EOF
echo "ljungcv eval: b.txt, line 2: longer than 1048576 bytes" >expected.err
mkdir failures

if ((!fresh)); then
  # A prefix made and a server running before the first counted run.
  "$emulated" 10 0.05 >/dev/null 2>&1 </dev/null || true
fi
servers() {  # the pids of the Wine servers of our prefix
  local pid
  for pid in $(pgrep -x wineserver64 || true); do
    if tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX"; then echo "$pid"; fi
  done
}
declare -A codes=() seen=()
failures=0 total=0 longest=0 started_at=$SECONDS
for ((round = 1; round <= rounds; round++)); do
  if ((fresh)); then
    # A new folder each round: an old one's server may still write to it.
    stop
    export WINEPREFIX=$work/wine.$round
  fi
  if ((load)); then
    # Its own process group, so that the whole of it stops with the round.
    set -m
    (while :; do ctest --test-dir "$root/build-win" -j2 -E '^cli_test$' >/dev/null 2>&1 || true; done) &
    loader=$!
    set +m
  fi
  for ((run = 1; run <= runs; run++)); do
    total=$((total + 1))
    status=0 began=$EPOCHREALTIME
    printf 'n alpha\n4 0.05\n' | timeout 120 "$emulated" eval a.txt - b.txt >run.out 2>run.err || status=$?
    took=$(awk -v a="$began" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }')
    if awk -v t="$took" -v l="$longest" 'BEGIN { exit !(t > l) }'; then longest=$took; fi
    echo "$took" >>times.txt
    for pid in $(servers); do seen[$pid]=1; done
    verdict=$status
    # (Compared as cli_test reads them, with Windows' CR LF as LF.)
    if [[ $status -eq 5 ]] && ! { tr -d '\r' <run.out | cmp -s - expected.out && tr -d '\r' <run.err | cmp -s - expected.err; }; then
      verdict="5, other output"
    fi
    codes[$verdict]=$((${codes[$verdict]:-0} + 1))
    if [[ "$verdict" != 5 ]]; then
      failures=$((failures + 1))
      cp run.out "failures/$round.$run.out"
      cp run.err "failures/$round.$run.err"
      echo "loop-wine-eval: round $round, run $run: exit $verdict after $took s; standard error:" >&2
      sed 's/^/    /' run.err | head -n 5 >&2
    fi
  done
  stop
done

how="$rounds rounds of $runs"
if ((load)); then how+=", beside the rest of the suite"; fi
if ((fresh)); then how+=", each round on a new Wine prefix"; fi
elapsed=$((SECONDS - started_at))
summary="loop-wine-eval: $total runs ($how) in $((elapsed / 60)) min $((elapsed % 60)) s, the longest $longest s,"
summary+=" ${#seen[@]} Wine servers seen, $(awk '$1 > 1 { a++ } $1 > 3 { b++ } $1 > 5 { c++ }
  END { printf "%d runs over 1 s, %d over 3 s, %d over 5 s", a, b, c }' times.txt): $failures failed"
for code in "${!codes[@]}"; do summary+="; exit $code: ${codes[$code]}"; done
echo "$summary"
if [[ $failures -gt 0 ]]; then
  kept=$(mktemp -d "${TMPDIR:-/tmp}/loop-wine-eval.XXXXXX")
  mv failures/* "$kept/"
  echo "loop-wine-eval: each failure's standard output and error are in $kept"
  exit 1
fi
