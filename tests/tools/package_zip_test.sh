#!/bin/sh
# The Windows zip, checked as it is shipped: its files, each .exe in it of
# the build's processor and subsystem and importing Windows' own DLLs only
# (check_pe_headers.sh), and under Wine the packaged programs' --version and
# the packaged launcher starting the package's own sample game, its chooser
# clicked as a player would on a virtual display:
#   xvfb-run -a -s "-screen 0 1024x768x24" package_zip_test.sh ZIP VERSION OBJDUMP FORMAT WINE_RUN PREFIX
set -u
zip="$1"; version="$2"; objdump="$3"; format="$4"; winerun="$5"; prefix="$6"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d /tmp/kestrel-zip-test.XXXXXX)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; [ -e "$work/log.txt" ] && sed 's/^/  log: /' "$work/log.txt" >&2; exit 1; }

top="$(basename "$zip" .zip)"
case "$top" in KestrelEx-"$version"-win32|KestrelEx-"$version"-win64) ;; *) fail "zip name $top";; esac
unzip -q "$zip" -d "$work" || fail "unzip $zip"
dir="$work/$top"
for f in KestrelEx.exe KestrelSkin.exe README.md SampleGame/game.exe SampleGame/switch.exe \
         SampleGame/GamePatch/Config.ini SampleGame/GamePatch/res.dat; do
  [ -f "$dir/$f" ] || fail "the zip has no $top/$f"
done

# Every program in the zip: the launcher a GUI program, the others console
# programs.
set -- gui:"$dir/KestrelEx.exe"
for exe in $(cd "$dir" && find . -iname '*.exe' ! -name KestrelEx.exe | sort); do
  set -- "$@" console:"$dir/${exe#./}"
done
sh "$here/check_pe_headers.sh" "$objdump" "$format" "$@" || fail "the PE check of the zip's programs"
programs=""
for exe in "$dir"/*.exe; do programs="$programs $exe"; done
# shellcheck disable=SC2086 # one word per program
sh "$here/version_test.sh" "$version" --run "$winerun" "$prefix" $programs || fail "--version of the zip's programs"

[ -n "${DISPLAY:-}" ] || fail "no display: run under xvfb-run"
game="$dir/SampleGame"
wgame="Z:$(echo "$game" | tr / '\\')"
export WINEPREFIX="$prefix"
KESTREL_LOG="Z:$(echo "$work/log.txt" | tr / '\\')" "$winerun" "$prefix" "$dir/KestrelEx.exe" "$wgame|game.exe|-window" \
  2>/dev/null &
pid=$!
id="$(timeout 60 xdotool search --sync --onlyvisible --name 'Sample Game' | head -1)"
[ -n "$id" ] || { kill "$pid" 2>/dev/null; fail "no chooser window"; }
xdotool mousemove --window "$id" 240 178 click 1
for _ in $(seq 200); do tr -d '\r' < "$game/GamePatch/Config.ini" | grep -q '^currntVer=remastered' && break; sleep 0.1; done
tr -d '\r' < "$game/GamePatch/Config.ini" | grep -q '^currntVer=remastered' || { kill "$pid"; fail "the second button recorded no version"; }
[ "$(tr -d '\r' < "$game/edition.txt")" = remastered ] || { kill "$pid"; fail "the version switch did not run"; }
xdotool mousemove --window "$id" 240 128 click 1
wait "$pid" || fail "the launcher failed"
wineserver -w
expected="Sample game started in $wgame with parameters: -window (edition: classic)"
[ "$(tr -d '\r' < "$game/started.txt" 2>/dev/null)" = "$expected" ] ||
  fail "started.txt: $(cat "$game/started.txt" 2>/dev/null)"
[ "$(head -1 "$work/log.txt" | tr -d '\r')" = "MSG: KestrelEx version=$version" ] || fail "the log does not begin with the version"
printf "sample game: %s\n" "$expected"
echo "package $(basename "$zip"): passed"
