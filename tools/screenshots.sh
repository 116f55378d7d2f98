#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the README's and the metainfo's screenshots in a real window under
# Xvfb: the main menu, a one-player race, the two-player split screen and
# the race-end screen, written to docs/screenshots/ as the window alone.
#   bash tools/screenshots.sh [BUILD_DIR]    (default: build)
# The computer drivers' routes are random, so each run's race pictures differ
# a little; the screens and their layout do not.
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/tests/window/lib.sh" "${1:-$ROOT/build}"
OUT="$ROOT/docs/screenshots"
mkdir -p "$OUT"

window_shot() {   # window_shot NAME: the game's window alone, without metadata chunks
  import -window "$WIN" "$ARTIFACTS/window.png"
  convert "$ARTIFACTS/window.png" -strip "$OUT/$1.png"
  echo "docs/screenshots/$1.png: $(identify -format '%wx%h' "$OUT/$1.png")"
}
race_end_showing() {   # the highlighted "Level:" button, as tests/window/race_end_to_end.sh reads it
  [ "$(pixel "$1" 300 160)" = "$LIT" ]
}

start_x
start_game "$BUILD_DIR/chainball"
sleep 1.5
window_shot menu

key Return                         # "Start 1 player"
sleep 4.5                          # the countdown
xdotool keydown --window "$WIN" Up 2>/dev/null
sleep 1.2
window_shot race
xdotool keyup --window "$WIN" Up 2>/dev/null
key Escape

key Down Return                    # "Start 2 players"
sleep 4.5
xdotool keydown --window "$WIN" Up 2>/dev/null
xdotool keydown --window "$WIN" w 2>/dev/null
sleep 0.9
xdotool keyup --window "$WIN" w 2>/dev/null
sleep 0.5
window_shot two-players
xdotool keyup --window "$WIN" Up 2>/dev/null
xdotool keyup --window "$WIN" w 2>/dev/null
key Escape

# The race-end screen, from a one-lap race on a short straight beside the
# shipped data (as tests/window/race_end_to_end.sh does): a race on a real
# track would take minutes of careful driving.
game_copy $'Sprint#\n'
{
  echo 0010
  for row in 0 1 2 3 4 5 6 7 8 9; do
    if [ "$row" = 5 ]; then echo '...M#.....'; else echo '...T#.....'; fi
  done
} >"$GAME_DIR/filut/levelit/Sprint.txt"
key Escape                         # quits from the menu
wait_exit 10
start_game "$GAME_DIR/chainball"
sleep 0.5
key Down Down Return               # "Settings"; its cursor starts on player 3
sleep 0.3
key Up Up Left Left Left Left      # player 1: 7 -> 3
key Down Down Down Left Left       # laps: 3 -> 1
key Down Down Down Return          # "Done"
sleep 0.3
key Return                         # "Start 1 player"
sleep 4.5
xdotool keydown --window "$WIN" Up 2>/dev/null
wait_until 30 "the race-end screen" race_end_showing || exit 1
xdotool keyup --window "$WIN" Up 2>/dev/null
sleep 0.5
window_shot race-end
key Down Down Return               # "Menu"
key Escape                         # quits from the menu
wait_exit 10
