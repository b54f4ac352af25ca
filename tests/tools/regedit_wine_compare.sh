#!/bin/sh
# Imports every registry file of testdata/reg with Wine's own regedit (the
# 32-bit one, in a 64-bit prefix, as the launcher's regedit runs) and with
# kestrel-system's, exports each file's key from both, and compares the
# exports (kestrel_regedit_compare): value names, types, data bytes, and
# the exports' bytes.  Then kestrel-system's export of the whole registry
# goes into Wine's regedit and back:
#   regedit_wine_compare.sh SOURCE_DIR LINUX_BIN WORK_DIR
# Skipped (exit 77) without Wine.
set -u
src="$1"
bin="$2"
work="$3"
command -v wine >/dev/null 2>&1 || { echo "Wine is not installed: skipped"; exit 77; }
corpus="$src/testdata/reg"
run="$src/cmake/wine-run.sh"
prefix="$work/prefix"
root="$work/root"
if [ -d "$prefix" ] && [ -f "$prefix/system.reg" ]; then
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null  # our own prefix only
fi
rm -rf "$work"
mkdir -p "$work/wine" "$work/kestrel" "$work/back"
trap 'WINEPREFIX="$prefix" wineserver -k 2>/dev/null' EXIT

winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
regedit32='C:\windows\syswow64\regedit.exe'
regedit64='C:\windows\regedit.exe'
kestrel() {
  machine="$1"
  shift
  KESTREL_ROOT="$machine" KESTREL_WINE=0 "$bin/kestrel-system" regedit "$@" 2>/dev/null
}

start=$(date +%s)
sh "$run" "$prefix" wineboot --init >/dev/null 2>&1
WINEPREFIX="$prefix" wineserver -w
[ -f "$prefix/drive_c/windows/syswow64/regedit.exe" ] || regedit32='C:\windows\regedit.exe'  # a 32-bit prefix

# The files that end Wine's import early go last, each on its own.
normal=""
last=""
for f in "$corpus"/*.reg; do
  case "$(basename "$f")" in
    stops-*) last="$last $f" ;;
    *) normal="$normal $(winpath "$f")" ;;
  esac
done
# shellcheck disable=SC2086 # the file names are words
sh "$run" "$prefix" "$regedit32" /s $normal >/dev/null 2>&1
for f in $last; do sh "$run" "$prefix" "$regedit32" /s "$(winpath "$f")" >/dev/null 2>&1; done
for f in "$corpus"/*.reg; do
  KESTREL_ROOT="$root" KESTREL_WINE=0 "$bin/kestrel-system" regedit /s "$(winpath "$f")" >/dev/null 2>&1
done

# Each file's keys: under both roots, and the classes key of the
# Windows 3.1 form and of syntax.reg.
keys_of() {
  name=$(basename "$1" .reg)
  printf '%s\n' "HKEY_CURRENT_USER\\Software\\KestrelRegTest\\$name"
  printf '%s\n' "HKEY_LOCAL_MACHINE\\Software\\KestrelRegTest\\$name"
  printf '%s\n' "HKEY_CLASSES_ROOT\\KestrelRegTest\\$name"
}
failed=0
files=0
values=0
n=0
for f in "$corpus"/*.reg; do
  files=$((files + 1))
  for key in $(keys_of "$f"); do
    n=$((n + 1))
    sh "$run" "$prefix" "$regedit32" /e "$(winpath "$work/wine/$n.reg")" "$key" >/dev/null 2>&1
    kestrel "$root" /e "$(winpath "$work/kestrel/$n.reg")" "$key" >/dev/null
    [ -f "$work/wine/$n.reg" ] || [ -f "$work/kestrel/$n.reg" ] || continue
    out=$("$bin/kestrel_regedit_compare" "$(basename "$f")" "$key" "$work/wine/$n.reg" "$work/kestrel/$n.reg")
    [ $? = 0 ] || failed=1
    printf '%s\n' "$out"
    values=$((values + $(printf '%s\n' "$out" | sed -n 's/.*: \([0-9]*\) values compared.*/\1/p')))
  done
done

# The whole registry as kestrel-system exports it goes into Wine (the
# 64-bit regedit, which sees the hives as they are stored) after the test
# keys are removed there, and back out: the same exports.
kestrel "$root" /e "$(winpath "$work/whole.reg")" >/dev/null
printf 'REGEDIT4\r\n\r\n[-HKEY_CURRENT_USER\\Software\\KestrelRegTest]\r\n[-HKEY_LOCAL_MACHINE\\Software\\KestrelRegTest]\r\n[-HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\KestrelRegTest]\r\n[-HKEY_CLASSES_ROOT\\KestrelRegTest]\r\n[-HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Classes\\KestrelRegTest]\r\n' > "$work/clear.reg"
sh "$run" "$prefix" "$regedit64" /s "$(winpath "$work/clear.reg")" 2>/dev/null
if ! sh "$run" "$prefix" "$regedit64" /s "$(winpath "$work/whole.reg")" > "$work/whole.log" 2>&1 || [ -s "$work/whole.log" ]; then
  echo "Wine's regedit did not import kestrel-system's whole export cleanly:"
  cat "$work/whole.log"
  failed=1
fi
n=0
for key in "HKEY_CURRENT_USER\\Software\\KestrelRegTest" "HKEY_LOCAL_MACHINE\\Software\\KestrelRegTest" \
           "HKEY_CLASSES_ROOT\\KestrelRegTest"; do
  n=$((n + 1))
  sh "$run" "$prefix" "$regedit32" /e "$(winpath "$work/back/wine-$n.reg")" "$key" >/dev/null 2>&1
  kestrel "$root" /e "$(winpath "$work/back/kestrel-$n.reg")" "$key" >/dev/null
  "$bin/kestrel_regedit_compare" round-trip "$key" "$work/back/wine-$n.reg" "$work/back/kestrel-$n.reg" \
    > "$work/back/$n.log" || { cat "$work/back/$n.log"; failed=1; }
  # And back: Wine's export into a new machine root exports the same bytes.
  kestrel "$work/root-back" /s "$(winpath "$work/back/wine-$n.reg")" >/dev/null
  kestrel "$work/root-back" /e "$(winpath "$work/back/again-$n.reg")" "$key" >/dev/null
  if ! cmp -s "$work/back/wine-$n.reg" "$work/back/again-$n.reg"; then
    echo "round trip back from Wine: $key differs ($work/back/wine-$n.reg, $work/back/again-$n.reg)"
    failed=1
  fi
done
echo "$files files, $values values compared in $(($(date +%s) - start)) s; round trips through Wine done"
[ "$failed" = 0 ] && echo "no unexplained difference"
exit "$failed"
