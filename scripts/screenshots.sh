#!/usr/bin/env bash
# Takes the README's screenshots under a virtual display:
#   xvfb-run -a -s "-screen 0 1024x768x24" bash scripts/screenshots.sh [BUILD_DIR]
# Needs xdotool and ImageMagick's import. The stage list shows the demo stage beside the stages of
# ../shared/corpus when that folder exists (their names only; the pictures show the demo stage,
# the error log shows a corpus stage's entries). Click positions are relative to the main window
# and fit the default Qt style and font.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
root=$(pwd)
out="$root/docs"
# A fixed, readable folder: its paths show in the recent-file menu.
work=/tmp/quillback
rm -rf "$work"; mkdir -p "$work"
trap 'kill "${pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

mugen="$work/MUGEN"
mkdir -p "$mugen/stages" "$mugen/chars" "$mugen/sound" "$work/prog"
cp "$root/$build/demo-mugen/stages/"* "$mugen/stages/"
corpus="$root/../shared/corpus/stages"
if [ -d "$corpus" ]; then
  for d in "$corpus"/*/; do cp "$d"* "$mugen/stages/"; done
fi
errstage=CellGameUB
cp "$root/$build/quillback" "$work/prog/"
printf 'Version = .67A\r\nMugeDir = %s/\r\nStageList = 255\r\nIntro = False\r\nInfo = True\r\nScale = 2\r\nLanguage = zh\r\n' "$mugen" > "$work/prog/QB.cfg"
for s in kfm "$errstage" falls; do printf 'RecentFile = %s/stages/%s.def\r\n' "$mugen" "$s" >> "$work/prog/QB.cfg"; done

# The main window (the widest window whose name starts with Quillback), its place and its menu bar.
find_main_window() {
  win=$(xdotool search --name '^Quillback' | while read -r w; do
    g=$(xdotool getwindowgeometry "$w" | awk '/Geometry/ {print $2}'); if [ "${g%x*}" -gt 100 ]; then echo "$w"; fi; done | head -1)
  eval "$(xdotool getwindowgeometry --shell "$win")"
  wx=$X; wy=$Y; ww=$WIDTH; wh=$HEIGHT
  bar=$((wy + 10))
}
"$work/prog/quillback" >"$work/log.txt" 2>&1 &
pid=$!
sleep 3
find_main_window
click() { xdotool mousemove "$1" "$2" click 1; sleep "${3:-1}"; }
# Row of a stage name in lstStages (rows are 16 pixels high, the list starts one pixel below the bar).
list_row() {
  local i=0 n
  while IFS= read -r n; do
    if [ "$n" = "$1" ]; then echo $((wy + 21 + 9 + 16 * i)); return; fi
    i=$((i + 1))
  done < <(ls "$mugen/stages" | grep -i '\.def$' | sed 's/\.[dD][eE][fF]$//' | sort -f)
}
listx=$((wx + 640 + 30))

# 1. The window at 2x, the stage list shown, the demo stage chosen from it.
click "$listx" "$(list_row quillback)" 3
import -window root -crop "${ww}x${wh}+${wx}+${wy}" +repage "$out/screenshot.png"
# 2. The Stage menu with its recent files.
click $((wx + 20)) "$bar" 1
import -window root -crop "${ww}x${wh}+${wx}+${wy}" +repage "$out/screenshot-stage-menu.png"
xdotool key Escape; sleep 0.5
# 3. The error log with a corpus stage's entries.
if [ -d "$corpus" ]; then
  click "$listx" "$(list_row "$errstage")" 3
  xdotool key ctrl+l; sleep 1
  logwin=$(xdotool search --name '^Error Log$' | head -1)
  import -window "$logwin" "$out/screenshot-error-log.png"
  click "$listx" "$(list_row quillback)" 3
  xdotool key ctrl+l; sleep 0.5  # the main window again: the log goes
fi
# 4. Full screen: the largest whole-number scale, black borders.
xdotool key F11; sleep 3
import -window root "$out/screenshot-fullscreen.png"
xdotool key Escape; sleep 1
# 5. The Options menu open, in the given captions and then in English (a second start with
#    "Language = en") with a submenu open. Taken on a 1024 x 768 screen, the menu fits it.
click $((wx + 60)) "$bar" 1
import -window root "$out/screenshot-options.png"
xdotool key Escape; sleep 0.5
kill "$pid"; wait "$pid" 2>/dev/null || true
printf 'Language = en\r\n' >> "$work/prog/QB.cfg"
"$work/prog/quillback" "$mugen/stages/quillback.def" >>"$work/log.txt" 2>&1 &
pid=$!
sleep 3
find_main_window
click $((wx + 90)) "$bar" 1
# The submenu "Speed and Stepping" (the 17th row: Down from the menu's top).
for _ in $(seq 17); do xdotool key Down; done
xdotool key Right; sleep 1
import -window root "$out/screenshot-en.png"
xdotool key Escape; sleep 0.5
echo "screenshots: written to $out"
