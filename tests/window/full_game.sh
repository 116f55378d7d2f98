#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The full game (chainball --extras) in a real window: the longer menu,
# settings changed and a key remapped, the game quit and started again with
# them found; a race driven with the new key shows its clock, and the
# results name the time. Then the shipped test replay, watched in the full
# game, ends on results whose time chainball-sim gives: 129 steps of 20 ms.
source "$(dirname "$0")/lib.sh" "$1"
DATA="$(cd "$(dirname "$0")/../data/replays" && pwd)"
SIM="$BUILD_DIR/chainball-sim"

make_game_dir
export XDG_CONFIG_HOME="$GAME_DIR/config" XDG_DATA_HOME="$GAME_DIR/data"
SETTINGS="$XDG_CONFIG_HOME/chainball/chainball.toml"
start_x
start_game "$GAME_DIR/chainball" --extras
sleep 0.5
shot full-menu.png
[ "$(pixel full-menu.png 300 160)" = "$FULL_LIT" ] || { echo "the full game's menu is not lit on its first entry"; exit 1; }
# Nine entries (Start 1 player, Start 2 players, Online race, Time trial,
# Replays, Records, Cup, Settings, Quit; "Continue cup" only with a saved
# cup): Up from the first lights the last.
key Up
sleep 0.2
shot full-menu-up.png
[ "$(pixel full-menu-up.png 300 400)" = "$FULL_LIT" ] || { echo "no ninth entry lit after Up"; exit 1; }
key Up Return                      # "Settings", second to last; its cursor starts on player 1
sleep 0.3
# Every entry fits the window: Up from the first lights "Done", the last,
# and its whole button turns pink (19 rows inside its frame).
lit_rows_low() { convert "$ARTIFACTS/$1" -crop 1x100+300+400 +repage -fill black +opaque "$FULL_LIT" \
  -fill white -opaque "$FULL_LIT" -format '%[fx:round(mean*h)]' info:; }
shot full-settings-first.png
key Up
sleep 0.2
shot full-settings-done.png
[ $(($(lit_rows_low full-settings-done.png) - $(lit_rows_low full-settings-first.png))) = 19 ] ||
  { echo "'Done' is not lit whole inside the window"; exit 1; }
key Down                           # back on player 1
# The classic settings' entries come first: a one-lap race of player 1
# alone with three balls.
key Left Left Left Left            # player 1: 7 -> 3
key Down Left Left                 # player 2: 2 -> 0
key Down Left Left Left Left Left  # player 3: 5 -> 0
key Down Left Left                 # laps: 3 -> 1
key Down Down Down Down Down Right # "Drivers: Good"
key Down Down Down Down Down Down Down Return # "Key bindings", past "Off-road", "Ghosts", "Recording", the two volumes and "Minimap"
sleep 0.3
key Return i                       # player 1 forward: I
key Down Return w                  # player 1 back: W drives player 2, refused
sleep 0.3
shot full-bindings-refused.png
# The refusal is a white line under the list.
[ "$(white_in full-bindings-refused.png 400x20+95+400)" -gt 100 ] || { echo "no refusal message"; exit 1; }
key Escape                         # player 1 back stays Down
sleep 0.3
shot full-bindings.png
key Escape                         # back to the settings
sleep 0.3
shot full-settings.png
key Escape                         # the menu: the file is written now
sleep 0.3
[ -f "$SETTINGS" ] || { echo "no settings file at $SETTINGS"; exit 1; }
cp "$SETTINGS" "$ARTIFACTS/full-settings.toml"
grep -q '^laps = 1$' "$SETTINGS" && grep -q "difficulty = 'good'" "$SETTINGS" &&
  grep -q "forward = 'i'" "$SETTINGS" || { echo "the settings file lacks the changes:"; cat "$SETTINGS"; exit 1; }
key Down Return                    # back on "Settings": the next is "Quit"
wait_exit 10 || { echo "the full game did not end with status 0"; exit 1; }
echo "settings changed and a key remapped; the file holds them"

# Started again: the settings are found. A one-ball, one-lap race alone on
# Straight, driven with I: the clock runs, the results show the time.
start_game "$GAME_DIR/chainball" --extras
sleep 0.5
key Return                         # "Start 1 player"
sleep 4.5
# Nothing held yet: the race runs, and so does its clock, in the top right
# of the view: white figures on their panel.
shot full-race.png
sleep 0.5
shot full-race-later.png
[ "$(white_in full-race.png 120x50+370+10)" -gt 60 ] || { echo "no race clock"; exit 1; }
cmp -s <(convert "$ARTIFACTS/full-race.png" -crop 120x14+370+10 rgb:-) \
  <(convert "$ARTIFACTS/full-race-later.png" -crop 120x14+370+10 rgb:-) && { echo "the race clock stands still"; exit 1; }
# The lap display is where it always was, with no white over it.
[ "$(white_in full-race.png 110x22+10+10)" = 0 ] || { echo "white over the lap display"; exit 1; }
xdotool keydown --window "$WIN" i
results_showing() {   # the lit "Race again" and the white "Results" title
  [ "$(pixel "$1" 300 190)" = "$FULL_LIT" ] && [ "$(white_in "$1" 200x45+160+40)" -gt 200 ]
}
wait_until 15 "the results" results_showing
ok=$?
xdotool keyup --window "$WIN" i
[ "$ok" = 0 ] || exit 1
shot full-results.png
key Down Down Return               # "Menu"
sleep 0.3
key Up Return                      # back on "Start 1 player": up is "Quit"
wait_exit 10 || exit 1
echo "the race ran with the remapped key, its clock showing, and ended on the results"

# The shipped replay: the sim says when player 1 finishes, and the results
# line shows that time. The font is monospaced, so the line is one cell a
# character: cells of the same character must look alike, cells of
# different characters not.
steps=$("$SIM" --replay "$DATA/straight-one-player.cbreplay" --track "$DATA/Straight.txt" 2>/dev/null |
  awk '$1=="step"{s=$2} $1=="racer" && $2==0 && $4>=1 {print s; exit}')
[ "$steps" = 129 ] || { echo "chainball-sim: player 1 finished at step '$steps', not 129"; exit 1; }
ms=$((steps * 20))
time="$((ms / 60000)):$(printf '%02d.%02d' $((ms / 1000 % 60)) $((ms / 10 % 100)))"
# Place, name, time, gap (none for the winner), best lap: columns of 3, 14, 10 and 11 characters.
line=$(printf '1. %-14s%-10s%-11s%s' "Player 1" "$time" "" "$time")
echo "expected results line: '$line'"
cp "$DATA/straight-one-player.cbreplay" "$GAME_DIR/shipped.cbreplay"
start_game "$GAME_DIR/chainball" --extras --replay "$GAME_DIR/shipped.cbreplay"
wait_until 20 "the watched race's results" results_showing || exit 1
sleep 0.3
shot full-replay-results.png
convert "$ARTIFACTS/full-replay-results.png" -crop 445x20+55+100 +repage -fill black +opaque white \
  "$ARTIFACTS/full-replay-line.png"
advance=7
declare -A seen
for ((i = 0; i < ${#line}; i++)); do
  c=${line:i:1}
  sig=$(convert "$ARTIFACTS/full-replay-line.png" -crop ${advance}x20+$((i * advance))+0 +repage -format '%#' info:)
  if [ "$c" = " " ]; then
    [ "$(convert "$ARTIFACTS/full-replay-line.png" -crop ${advance}x20+$((i * advance))+0 +repage -format '%[fx:round(mean*w*h)]' info:)" = 0 ] ||
      { echo "cell $i should be blank"; exit 1; }
    continue
  fi
  if [ -n "${seen[$c]:-}" ] && [ "${seen[$c]}" != "$sig" ]; then echo "cell $i ('$c') differs from an earlier '$c'"; exit 1; fi
  for k in "${!seen[@]}"; do
    [ "$k" != "$c" ] && [ "${seen[$k]}" = "$sig" ] && { echo "cell $i ('$c') looks like '$k'"; exit 1; }
  done
  seen[$c]=$sig
done
# Past the line's end, nothing.
[ "$(convert "$ARTIFACTS/full-replay-line.png" -crop 60x20+$((${#line} * advance))+0 +repage -format '%[fx:round(mean*w*h)]' info:)" = 0 ] ||
  { echo "the results line is longer than '$line'"; exit 1; }
key Escape
sleep 0.3
key Escape
wait_exit 10 || exit 1
echo "the watched replay's results show its 129 steps as the time"
