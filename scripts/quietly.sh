# shellcheck shell=bash
# Sourced by the test scripts. quietly COMMAND...: runs COMMAND and shows its
# output only when it fails.
quietly() {
  local log
  log=$(mktemp)
  "$@" >"$log" 2>&1 || { cat "$log" >&2; rm -f "$log"; return 1; }
  rm -f "$log"
}
