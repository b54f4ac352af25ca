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
# The café PCs run the Chinese ANSI code page (936), as the Linux model
# does.  Wine takes it from the host locale, and needs that locale to be
# installed to store Chinese file names: when the host lacks it, it is made
# once beside the prefix.
locale="${KESTREL_WINE_LOCALE:-zh_CN.UTF-8}"
if [ "$locale" = zh_CN.UTF-8 ] && ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  locales="$prefix-locale"
  if [ ! -d "$locales/zh_CN.UTF-8" ]; then
    mkdir -p "$locales"
    localedef -i zh_CN -f UTF-8 "$locales/zh_CN.UTF-8" >/dev/null 2>&1 || true
  fi
  export LOCPATH="$locales"
fi
export LC_ALL="$locale"
exec wine "$@"
