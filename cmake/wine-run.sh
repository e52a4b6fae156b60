#!/bin/sh
# Runs a Windows program under Wine: the cross build's test emulator
# (CMAKE_CROSSCOMPILING_EMULATOR), also used by scripts.
#   wine-run.sh PROGRAM.exe [ARGUMENTS...]
#
# Every Windows program talks to a Wine server, and one that finds none
# starts it as Debian's `wineserver` does, with no persistence: it stops
# whenever no program runs (2 to 3 s under load), and the next program
# waits for it to stop: when that takes longer than about 5.5 s, the program
# ends with exit status 1 and "a wine server seems to be running, but I
# cannot connect to it" (docs/windows.md). The first program of a session also
# starts Wine's background services, which inherit its standard streams and
# hold them open until the session ends: a test harness reading its output
# to the end would wait for as long. So before the program, when no server
# is running, one is started here and kept for a minute after its last
# client, and the services (and, on first use, Wine's prefix) are brought up
# with none of our streams, under a lock so that tests run in parallel do
# this once. The server starts in the prefix's folder, which must be made
# first where Wine never ran: else the server cannot start, the program
# starts one of its own, and every later pause between programs stops it.
export WINEDEBUG=-all
wine=${WINE:-wine}
(
  flock 9
  mkdir -p -- "${WINEPREFIX:-$HOME/.wine}"
  # (9>&-: what starts here outlives us and must not hold the lock.)
  if wineserver -p60 </dev/null >/dev/null 2>&1 9>&-; then
    "$wine" wineboot </dev/null >/dev/null 2>&1 9>&-
  fi
) 9>"${TMPDIR:-/tmp}/cvmodule-wine-$(id -u).lock"
exec "$wine" "$@"
