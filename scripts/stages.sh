# shellcheck shell=bash
# Sourced by the scripts with long steps, so that none of them is silent for
# minutes: a line on standard error as each stage starts, with how far the
# script is and how long it has taken so far.
#
#   stages NAME TOTAL      the script's name in the lines, and its stage count
#   stage WHAT...          "NAME: [i/TOTAL] WHAT (m:ss so far)"
#   built LOG COMMAND...   runs a build (cmake --build, R CMD build) with all
#                          its output in LOG, showing only its milestones as
#                          they come: CMake's "[ 42%] Built target X", R's
#                          "* installing ..." and the stage lines of a build
#                          step of ours ("x: [1/3] ..."); when it fails, the
#                          end of LOG too
#   ticking SECONDS COMMAND...  runs COMMAND every SECONDS in the background
#                          (say, a count of the objects compiled so far) for
#                          a step whose own output says nothing; untick stops it
#   compiled DIR TOTAL     for ticking beside `built`: how many of TOTAL
#                          objects a compiler has written below DIR, for a
#                          build whose own lines say nothing about that
#   progress LOG           for ticking beside `built`: where the CMake build
#                          logging to LOG is ("[ 42%] Building CXX object X"),
#                          so that a target of many files is not silent
stages() {
  stages_name=$1 stages_total=$2 stages_done=0 stages_start=$SECONDS
}

stages_elapsed() {
  local seconds=$((SECONDS - stages_start))
  printf '%d:%02d' $((seconds / 60)) $((seconds % 60))
}

stage() {
  stages_done=$((stages_done + 1))
  printf '%s: [%d/%d] %s (%s so far)\n' "$stages_name" "$stages_done" "$stages_total" "$*" "$(stages_elapsed)" >&2
}

built() {
  local log=$1 status=0
  shift
  # sed reads to the end whatever it prints, so the build never meets a
  # closed pipe; the pipeline's status is the build's.
  set -o pipefail
  "$@" 2>&1 | tee "$log" |
    sed -nu -e "s/^ *\[ *\([0-9]*%\)\] Built target \(.*\)/$stages_name:     \1 built \2/p" \
            -e "s/^\* \(.*\)/$stages_name:     \1/p" \
            -e "s/^ *\([a-z][a-z ]*: \[[0-9]*\/[0-9]*\] .*\)/$stages_name:     \1/p" >&2 || status=$?
  if [[ $status -ne 0 ]]; then
    tail -n 60 -- "$log" >&2
    echo "$stages_name: failed (exit $status); the whole output is in $log" >&2
  fi
  return "$status"
}

ticking() {
  local seconds=$1
  shift
  # The sleep holds none of our streams: a reader waiting for their end is
  # not kept waiting by one left over after untick.
  (while sleep "$seconds" >/dev/null 2>&1; do "$@"; done) &
  stages_ticker=$!
}

compiled() {
  printf '%s:     %d of %d objects compiled (%s so far)\n' "$stages_name" \
    "$(find "$1" -name '*.o' 2>/dev/null | wc -l)" "$2" "$(stages_elapsed)" >&2
}

progress() {
  local line
  line=$(grep -a '^\[ *[0-9]*%\] ' "$1" 2>/dev/null | tail -n 1) || true
  printf '%s:     %s (%s so far)\n' "$stages_name" "${line:-building}" "$(stages_elapsed)" >&2
}

untick() {
  if [[ -n "${stages_ticker:-}" ]]; then
    kill "$stages_ticker" 2>/dev/null || true
    wait "$stages_ticker" 2>/dev/null || true
    stages_ticker=
  fi
}
