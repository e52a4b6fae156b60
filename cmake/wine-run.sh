#!/bin/sh
# Runs a Windows program under Wine: the cross build's test emulator
# (CMAKE_CROSSCOMPILING_EMULATOR), also used by scripts.
#   wine-run.sh PROGRAM.exe [ARGUMENTS...]
#
# The first Windows program of a Wine session starts Wine's background
# services, which inherit that program's standard streams and hold them open
# until the session ends: a test harness reading the program's output to its
# end would wait for as long. So when no Wine server is running, one is
# started here, kept for a minute after its last client, and its services
# (and, on first use, Wine's prefix) are brought up with none of our streams,
# under a lock so that tests run in parallel do this once.
export WINEDEBUG=-all
wine=${WINE:-wine}
(
  flock 9
  # (9>&-: what starts here outlives us and must not hold the lock.)
  if wineserver -p60 </dev/null >/dev/null 2>&1 9>&-; then
    "$wine" wineboot </dev/null >/dev/null 2>&1 9>&-
  fi
) 9>"${TMPDIR:-/tmp}/cvmodule-wine-$(id -u).lock"
exec "$wine" "$@"
