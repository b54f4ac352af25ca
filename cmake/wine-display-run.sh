#!/bin/sh
# Runs a cross-built Windows program that opens windows, under Wine on a
# virtual X display of its own (Xvfb):
#   wine-display-run.sh PREFIX PROGRAM [ARGS...]
# Wine's desktop process takes its display from the first program of a
# server session, so the prefix's server is let go before the run and after
# it: programs without a display never share a session with this one.
prefix="$1"
here="$(cd "$(dirname "$0")" && pwd)"
WINEPREFIX="$prefix" wineserver -w
xvfb-run -a -s "-screen 0 1024x768x24" "$here/wine-run.sh" "$@"
status=$?
WINEPREFIX="$prefix" wineserver -w
exit $status
