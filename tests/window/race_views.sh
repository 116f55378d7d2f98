#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A one-player and a two-player race in a real window: the countdown over the
# first picture, the view following player 1 while Up is held, and in the
# two-player race both views side by side with the black line at x = 400.
source "$(dirname "$0")/lib.sh" "$1"

start_x
start_game "$BUILD_DIR/chainball"
sleep 0.5

key Return                       # "Start 1 player"
sleep 1
shot race1-countdown.png
[ "$(window_size)" = 500x500 ] || { echo "one-player window is $(window_size)"; exit 1; }
sleep 3.5                        # the countdown takes four seconds
shot race1-start.png
hold Up 1
shot race1-moved.png
n=$(colours_in race1-moved.png 500x500+0+0)
echo "one-player race screenshot has $n colours"
[ "$n" -gt 10 ] || { echo "the race looks flat"; exit 1; }
if cmp -s <(convert "$ARTIFACTS/race1-start.png" -crop 500x500+0+0 rgb:-) \
          <(convert "$ARTIFACTS/race1-moved.png" -crop 500x500+0+0 rgb:-); then
  echo "holding Up changed nothing"; exit 1
fi

key Escape
sleep 0.3
[ "$(window_size)" = 500x500 ] || { echo "menu after the race is $(window_size)"; exit 1; }
key Down Return                  # "Start 2 players"
sleep 4.5
[ "$(window_size)" = 800x500 ] || { echo "two-player window is $(window_size)"; exit 1; }
xdotool keydown --window "$WIN" Up w
sleep 1
xdotool keyup --window "$WIN" Up w
sleep 0.2
shot race2-moved.png
line=$(colours_in race2-moved.png 1x500+400+0)
colour=$(pixel race2-moved.png 400 250)
echo "column 400: $line colour(s), $colour at row 250"
[ "$line" = 1 ] && [ "$colour" = "srgb(0,0,0)" ] || { echo "no black line between the views"; exit 1; }
[ "$(colours_in race2-moved.png 390x500+405+0)" -gt 10 ] || { echo "view 2 looks empty"; exit 1; }

key Escape
sleep 0.3
[ "$(window_size)" = 500x500 ] || { echo "menu after the two-player race is $(window_size)"; exit 1; }
key Escape                       # quits from the menu
wait_exit 10 || exit 1
echo "both races ran and the game quit with status 0"
