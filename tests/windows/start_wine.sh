#!/bin/sh
# Starts Wine's server, kept for a minute after its last client, and Wine's
# background services, with none of the caller's standard streams. Services
# that a test's first Windows program started would inherit that test's
# output pipes and hold them open, and a harness that reads a child's output
# to the end (Python's subprocess) would wait for ever.
#   start_wine.sh [WINE]
export WINEDEBUG=-all
wine="${1:-wine}"
wineserver -p60 </dev/null >/dev/null 2>&1
"$wine" wineboot </dev/null >/dev/null 2>&1
