#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A whole race played in a real window with keys only, as a player would:
# settings to a one-ball, one-lap race alone on a level whose finish has no
# checkpoints before it, the countdown, Up held until the race-end screen
# names the winner, "Menu", "Quit". Then, on the shipped levels, a
# two-player race paused with Ctrl+P, resumed with P and left with Escape.
source "$(dirname "$0")/lib.sh" "$1"

make_game_dir
start_x
start_game "$GAME_DIR/chainball"
sleep 0.5
solo_one_lap_settings
sleep 0.2
shot e2e-settings.png
key Down Down Down Return          # "Done"
sleep 0.3
key Return                         # "Start 1 player": the menu wrapped the cursor to 0
sleep 4.3                          # the countdown
[ "$(window_size)" = 500x500 ] || { echo "race window is $(window_size)"; exit 1; }
shot e2e-race-start.png

xdotool keydown --window "$WIN" Up
ended=no
for _ in $(seq 40); do
  sleep 0.25
  shot e2e-race-end.png
  if race_end_showing e2e-race-end.png; then ended=yes; break; fi
done
xdotool keyup --window "$WIN" Up
[ "$ended" = yes ] || { echo "no race-end screen after holding Up for 10 s"; exit 1; }
w=$(white_width e2e-race-end.png 340x50+120+45)
echo "race-end screen: winner text $w pixels wide"
# "Player 1 won!" in the large font is thirteen characters of about 22 pixels.
[ "$w" -gt 240 ] && [ "$w" -lt 330 ] || { echo "the winner line is not there"; exit 1; }
sleep 0.5
shot e2e-race-end-later.png
race_end_showing e2e-race-end-later.png || { echo "the race-end screen did not stay"; exit 1; }

key Down Down Return               # "Menu"
sleep 0.3
[ "$(window_size)" = 500x500 ] || { echo "menu window is $(window_size)"; exit 1; }
shot e2e-menu.png
# The race-end cursor (2) is kept: "Settings" is highlighted.
[ "$(pixel e2e-menu.png 300 220)" = "$LIT" ] || { echo "not back on the menu"; exit 1; }
key Down Return                    # "Quit"
wait_exit 10 || { echo "the game did not end with status 0"; exit 1; }
echo "one-player race played to its end; the game quit with status 0"

# Two players on the shipped levels: pause, resume, leave.
start_game "$BUILD_DIR/chainball"
sleep 0.5
key Down Return                    # "Start 2 players"
sleep 4.5
[ "$(window_size)" = 800x500 ] || { echo "two-player window is $(window_size)"; exit 1; }
hold Up 0.5
pause_checked e2e-pause 800x500+0+0 120x50+335+235 || exit 1
key p
sleep 0.5
shot e2e-resumed.png
[ "$(white_in e2e-resumed.png 120x50+335+235)" -lt 100 ] || { echo "still paused after P"; exit 1; }
[ "$(colours_in e2e-resumed.png 1x500+400+0)" = 1 ] || { echo "no dividing line after the pause"; exit 1; }
[ "$(window_size)" = 800x500 ] || { echo "the pause left the race"; exit 1; }
key Escape
sleep 0.3
[ "$(window_size)" = 500x500 ] || { echo "menu window after the race is $(window_size)"; exit 1; }
key Escape                         # quits from the menu
wait_exit 10 || exit 1
echo "two-player race paused, resumed and left; the game quit with status 0"
