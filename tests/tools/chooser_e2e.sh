#!/bin/sh
# The chooser end to end with real windows, one fixture for both builds,
# run on a virtual display (xvfb-run):
#   chooser_e2e.sh linux BIN_DIR              (KestrelEx, KestrelSkin, kestrel_recorder, chooser_skin_maker)
#   chooser_e2e.sh wine BIN_DIR LINUX_BIN_DIR PREFIX WINE_RUN
# A game with two versions opens the chooser; its screenshot matches
# KestrelSkin preview of the same folder (exactly outside the label bands;
# under Wine within 2 a channel); the pointer on the second button shows its
# hover slice only there; its click runs the version program in the base
# directory, waits for it, records "currntVer" with every other byte of
# Config.ini kept, and the game starts.  Esc: nothing runs, no game.  A skin
# without background: the message box, Enter, and the game starts.
set -eu
mode="$1"; bin="$2"
if [ "$mode" = wine ]; then linuxbin="$3"; prefix="$4"; winerun="$5"; else linuxbin="$bin"; fi
exe=""; [ "$mode" = wine ] && exe=".exe"
work="$(mktemp -d /tmp/kestrel-chooser-e2e.XXXXXX)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

fixture() {  # fixture DIR [--no-background]
  mkdir -p "$1/GamePatch"
  cp "$bin/kestrel_recorder$exe" "$1/game.exe"
  cp "$bin/kestrel_recorder$exe" "$1/switch.exe"
  "$linuxbin/chooser_skin_maker" "$1/GamePatch/res.dat" ${2:-}
  printf '%s\r\n' '; the chooser fixture' '[game_base]' 'mainExe=game.exe' 'currntVer=1.0' '' \
    '[dlg_config]' 'btnCount=2' 'dlgCaption=Chooser Fixture' \
    'btn1Caption=Classic' 'btn1Exe=switch.exe' 'btn1Param=classic' 'btn1Ver=1.0' 'btn1CloseDlg=1' \
    'btn2Caption=Remastered' 'btn2Exe=switch.exe' 'btn2Param=--sleep 1500 remastered' 'btn2Ver=2.0' \
    > "$1/GamePatch/Config.ini"
}

launch() {  # launch GAME_DIR: the launcher in the background, its pid in $pid
  if [ "$mode" = wine ]; then
    "$winerun" "$prefix" "$bin/KestrelEx.exe" "Z:$(echo "$1" | tr / '\\')|game.exe|-window" 2>>"$work/log.txt" &
  else
    KESTREL_ROOT="$work/root" "$bin/KestrelEx" "$1|game.exe|-window" 2>>"$work/log.txt" &
  fi
  pid=$!
}

settle() {  # settle: the launcher does not wait for the game; wait for what it started
  if [ "$mode" = wine ]; then wineserver -w; else sleep 1; fi
}

window() {  # window NAME [SECONDS]: the id of the window of that title
  timeout "${2:-60}" xdotool search --sync --onlyvisible --name "$1" | head -1 || true
}

mask() {  # mask IN OUT: black over the label bands and outside the window's shape
  convert "$1" -fill black \
    -draw 'rectangle 100,115 299,126' -draw 'rectangle 100,165 299,176' \
    -draw 'rectangle 399,0 399,299' -draw 'rectangle 0,299 399,299' \
    -draw 'point 0,0' -draw 'point 398,0' -draw 'point 0,298' -draw 'point 398,298' "$2"
}

differing() {  # differing A B LIMIT: pixels whose largest channel difference is above LIMIT (0-255)
  convert "$1" "$2" -compose difference -composite -channel RGB -separate -evaluate-sequence max \
    -threshold "$(awk "BEGIN { print ($3 + 0.5) / 255 * 100 }")%" -format '%[fx:round(mean*w*h)]' info:
}

if [ "$mode" = wine ]; then export WINEPREFIX="$prefix"; wineserver -w; fi

# 1. Two versions: screenshot, hover, click the second.
game="$work/game"; fixture "$game"
cp "$game/GamePatch/Config.ini" "$work/Config.before"
launch "$game"
id="$(window 'Chooser Fixture')"
[ -n "$id" ] || fail "no chooser window"
xdotool mousemove --window "$id" 20 280; sleep 0.5
import -window "$id" "$work/shot.png"
"$linuxbin/KestrelSkin" preview "$game/GamePatch" "$work/preview.png"
mask "$work/shot.png" "$work/shot-masked.png"; mask "$work/preview.png" "$work/preview-masked.png"
limit=0; [ "$mode" = wine ] && limit=2
n="$(differing "$work/shot-masked.png" "$work/preview-masked.png" $limit)"
echo "screenshot against preview: $n pixels differ by more than $limit outside the label bands"
[ "$n" = 0 ] || { cp "$work/shot.png" "/tmp/kestrel-chooser-e2e-$mode-shot.png"; fail "screenshot differs from the preview"; }
[ -n "${KESTREL_CHOOSER_SHOT:-}" ] && cp "$work/shot.png" "$KESTREL_CHOOSER_SHOT"
xdotool mousemove --window "$id" 200 170; sleep 0.5
import -window "$id" "$work/hover.png"
convert "$work/shot.png" "$work/hover.png" -compose difference -composite -threshold 0 -format '%@' info: > "$work/changed"
echo "hover changed: $(cat "$work/changed")"
case "$(cat "$work/changed")" in
  *+100+150|*+101+15[0-9]) ;;  # inside the second button (100,150 200x40) only
  *) fail "hover changed $(cat "$work/changed")" ;;
esac
xdotool click 1
wait "$pid" || fail "launcher failed"
settle
grep -q '^program=switch.exe' "$game/record.txt" || fail "the version program did not run"
grep -q '^arg=remastered' "$game/record.txt" || fail "the version program's parameters"
# The program ran in the base directory and was waited for: its record is
# complete before the game's begins.
first="$(grep '^program=' "$game/record.txt" | tr '\n' ' ')"
[ "$first" = "program=switch.exe program=game.exe " ] || fail "order: $first"
sed -n '/program=switch.exe/,/done/p' "$game/record.txt" | grep -q "^cwd=.*game$" || fail "working directory"
sed 's/^currntVer=1.0\r$/currntVer=2.0\r/' "$work/Config.before" > "$work/Config.expected"
if [ "$mode" = wine ]; then
  # Windows' own WritePrivateProfileStringW writes the file anew (Wine drops
  # the blank line before a section); the other lines must all be there.
  tr -d '\r' < "$work/Config.expected" | grep -v '^$' > "$work/expected.lines"
  tr -d '\r' < "$game/GamePatch/Config.ini" | grep -v '^$' > "$work/written.lines"
  cmp "$work/expected.lines" "$work/written.lines" || fail "Config.ini lost lines or has no currntVer=2.0"
  cmp -s "$work/Config.expected" "$game/GamePatch/Config.ini" || echo "Config.ini: the same lines, not the same bytes (Windows' own profile writer)"
else
  cmp "$work/Config.expected" "$game/GamePatch/Config.ini" || fail "Config.ini is not the old one with currntVer=2.0"
fi

# 2. Esc: nothing runs, no game.
game="$work/esc"; fixture "$game"
launch "$game"
id="$(window 'Chooser Fixture')"
xdotool windowfocus --sync "$id" key Escape
wait "$pid" || fail "launcher failed"
settle
[ ! -e "$game/record.txt" ] || fail "something ran after Esc"

# 3. No background: the message box, Enter, the game starts.
game="$work/nobg"; fixture "$game" --no-background
launch "$game"
box="$(window 'KestrelEx' 20)"
if [ -n "$box" ]; then
  xdotool windowfocus --sync "$box" key Return
  wait "$pid" || fail "launcher failed"
else
  # SDL2's X11 message box needs the X server's core fonts; without them
  # the platform gives the text to standard error and goes on.
  wait "$pid" || fail "launcher failed"
  grep -q '加载皮肤文件失败，请确认！' "$work/log.txt" || fail "no message box and no message"
  echo "message box: none on this display (no X core fonts); the text went to standard error"
fi
settle
[ "$(grep '^program=' "$game/record.txt")" = "program=game.exe" ] || fail "the game did not start alone"
# 4. No display at all (Linux): no window anyone could click is waited
# for; the chooser counts as not created and the game starts.
if [ "$mode" = linux ]; then
  game="$work/nodisplay"; fixture "$game"
  env -u DISPLAY -u WAYLAND_DISPLAY KESTREL_ROOT="$work/root" timeout 30 "$bin/KestrelEx" "$game|game.exe|-window" \
    2>>"$work/log.txt" || fail "the launcher without a display did not end by itself"
  sleep 1
  [ "$(grep '^program=' "$game/record.txt")" = "program=game.exe" ] || fail "no display: the game did not start alone"
fi
echo "chooser e2e ($mode): passed"
