#!/bin/sh
# Runs a cross-built Windows program under Wine in the build's own prefix:
#   wine-run.sh PREFIX PROGRAM [ARGS...]
# The prefix is created on first use; Wine's debug chatter and its offers to
# install Mono and Gecko are switched off.
prefix="$1"
shift
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# The café PCs run the Chinese ANSI code page (936), as the Linux model does.
export LC_ALL="${KESTREL_WINE_LOCALE:-zh_CN.UTF-8}"
exec wine "$@"
