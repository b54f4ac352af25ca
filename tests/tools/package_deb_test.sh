#!/bin/sh
# The Debian package, checked without installing it: its control data
# (the version, dependencies computed from the libraries the programs link,
# Wine recommended), its files, and the programs unpacked from it (dpkg-deb
# -x into a temporary folder) launching the package's own sample game on a
# virtual display, where the chooser is clicked as a player would:
#   xvfb-run -a -s "-screen 0 1024x768x24" package_deb_test.sh DEB VERSION
set -u
deb="$1"; version="$2"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d /tmp/kestrel-deb-test.XXXXXX)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; [ -e "$work/log.txt" ] && sed 's/^/  log: /' "$work/log.txt" >&2; exit 1; }

# 1. Control data.
info="$(dpkg-deb -I "$deb")" || fail "dpkg-deb -I $deb"
field() { echo "$info" | sed -n "s/^ $1: //p"; }
echo "Depends: $(field Depends)"
echo "Recommends: $(field Recommends)"
[ "$(field Package)" = kestrelex ] || fail "package name $(field Package)"
[ "$(field Version)" = "$version" ] || fail "package version $(field Version), not $version"
[ "$(field Architecture)" = amd64 ] || fail "architecture $(field Architecture)"
for lib in libc6 libstdc++6 libsdl2-2.0-0 libcairo2 libpango-1.0-0 libpangocairo-1.0-0 zlib1g; do
  field Depends | tr ',' '\n' | grep -q "^ *$lib\( \|$\)" || fail "Depends lacks $lib"
done
field Recommends | tr ',' '\n' | grep -q '^ *wine\( \|$\)' || fail "Recommends lacks wine"

# 2. Files: the programs, the chooser module where the launcher looks for
# it, the README and the sample.
root="$work/pkg"
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x $deb"
for f in usr/bin/KestrelEx usr/bin/KestrelSkin usr/bin/kestrel-system usr/lib/kestrelex/libkestrel-chooser.so \
         usr/share/doc/kestrelex/README.md usr/share/doc/kestrelex/SampleGame/GamePatch/Config.ini \
         usr/share/doc/kestrelex/SampleGame/GamePatch/res.dat; do
  [ -f "$root/$f" ] || fail "the package has no $f"
done
for f in usr/share/doc/kestrelex/SampleGame/game.exe usr/share/doc/kestrelex/SampleGame/switch.exe; do
  [ -x "$root/$f" ] || fail "$f is not executable"
done
# Every program the package puts in bin.
# shellcheck disable=SC2046 # one word per program
sh "$here/version_test.sh" "$version" $(find "$root/usr/bin" -type f | sort) || fail "--version of the packaged programs"

# 3. The sample game, launched by the packaged launcher: the chooser opens
# (the module is found in lib/kestrelex), "Remastered (stays open)" runs
# the version switch and keeps the window, "Classic edition" switches back,
# closes it, and the game starts.
[ -n "${DISPLAY:-}" ] || fail "no display: run under xvfb-run"
game="$root/usr/share/doc/kestrelex/SampleGame"
export KESTREL_ROOT="$work/root" KESTREL_LOG="$work/log.txt"
"$root/usr/bin/KestrelEx" "$game|game.exe|-window" 2>/dev/null &
pid=$!
id="$(timeout 60 xdotool search --sync --onlyvisible --name 'Sample Game' | head -1)"
[ -n "$id" ] || { kill "$pid" 2>/dev/null; fail "no chooser window"; }
xdotool mousemove --window "$id" 240 178 click 1
for _ in $(seq 100); do grep -q '^currntVer=remastered' "$game/GamePatch/Config.ini" && break; sleep 0.1; done
grep -q '^currntVer=remastered' "$game/GamePatch/Config.ini" || { kill "$pid"; fail "the second button recorded no version"; }
[ "$(cat "$game/edition.txt")" = remastered ] || { kill "$pid"; fail "the version switch did not run"; }
xdotool mousemove --window "$id" 240 128 click 1
timeout 30 sh -c "while kill -0 $pid 2>/dev/null; do sleep 0.1; done" || { kill "$pid"; fail "the launcher did not end"; }
wait "$pid" || fail "the launcher failed"
for _ in $(seq 50); do [ -s "$game/started.txt" ] && break; sleep 0.1; done
expected="Sample game started in $game with parameters: -window (edition: classic)"
[ "$(cat "$game/started.txt" 2>/dev/null)" = "$expected" ] || fail "started.txt: $(cat "$game/started.txt" 2>/dev/null)"
grep -q '^currntVer=classic' "$game/GamePatch/Config.ini" || fail "the first button recorded no version"
[ "$(head -1 "$work/log.txt")" = "MSG: KestrelEx version=$version" ] || fail "the log does not begin with the version"
grep -q 'OnCreate failed' "$work/log.txt" && fail "the chooser module was not opened"
printf "sample game: %s\n" "$expected"

# 4. The packaged launcher finds the packaged kestrel-system: a game's
# registry file is imported into the machine's registry.
other="$work/RegGame"
mkdir -p "$other/GamePatch"
cp "$game/game.exe" "$other/game.exe"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\KestrelPackageCheck]\r\n"Imported"="yes"\r\n' \
  > "$other/GamePatch/check.reg"
printf '[game_base]\r\n' > "$other/GamePatch/Config.ini"
"$root/usr/bin/KestrelEx" "$other|game.exe|" >/dev/null 2>&1 || fail "the launcher failed on the registry game"
for _ in $(seq 100); do grep -q 'KestrelPackageCheck' "$work/root/user.reg" 2>/dev/null && break; sleep 0.1; done
grep -q 'KestrelPackageCheck' "$work/root/user.reg" 2>/dev/null || fail "the registry file was not imported"
grep -q '^MSG: regedit succeed' "$work/log.txt" || fail "no regedit line in the log"
echo "registry import through the packaged kestrel-system: done"
echo "package $(basename "$deb"): passed"
