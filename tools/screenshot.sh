#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes docs/screenshot.png: the game under Xvfb with a window manager, a new deal, assorted
# tile backs and the hint on; the window's own area, without the window manager's frame.
#   bash tools/screenshot.sh [path/to/sdvigul] [output.png]
set -euo pipefail
cd "$(dirname "$0")/.."
game=${1:-build/app/sdvigul}
out=${2:-docs/screenshot.png}
work=$(mktemp -d)
display=:$((RANDOM % 400 + 300))
cleanup() { kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"; }
pids=()
trap cleanup EXIT

Xvfb "$display" -screen 0 640x520x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xsetroot -solid '#3c4a5c' 2>/dev/null || true
openbox >/dev/null 2>&1 & pids+=($!)
sleep 0.5
(cd "$work" && exec "$OLDPWD/$game") & pids+=($!)
win=$(xdotool search --sync --onlyvisible --name '^Сдвигуль$' | head -1)
xdotool windowactivate --sync "$win"
# xdotool misplaces reparented windows; xwininfo reports where the window really is.
origin() {
    eval "$(xwininfo -id "$1" | awk '/Absolute upper-left X/{print "X=" $4} /Absolute upper-left Y/{print "Y=" $4} /Height:/{print "HEIGHT=" $2}')"
}
origin "$win"
menu_height=$((HEIGHT - 350))
xdotool key F2
sleep 0.3
# Игра -> Рубашка...: the fourth item (separators are skipped)
xdotool mousemove $((X + 20)) $((Y + menu_height / 2)) click 1
sleep 0.4
xdotool key Down Down Down Down Return
# The chooser has no title text; it is the game's other visible window, 332 pixels wide.
chooser=
for _ in $(seq 50); do
    for w in $(xdotool search --onlyvisible --pid "${pids[2]}"); do
        xwininfo -id "$w" | grep -q 'Width: 332' && chooser=$w
    done
    [ -n "$chooser" ] && break
    sleep 0.1
done
origin "$chooser"
xdotool mousemove $((X + 22)) $((Y + 216)) click 1
sleep 0.2
xdotool key Return
sleep 0.3
# Игра -> Подсказка
origin "$win"
xdotool mousemove $((X + 20)) $((Y + menu_height / 2)) click 1
sleep 0.4
xdotool key Down Down Down Return
xdotool mousemove 600 500
sleep 0.5
import -window "$win" "$out"
echo "wrote $out"
