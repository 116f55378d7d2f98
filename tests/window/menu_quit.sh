#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The menu in a real window: it shows, animates, and Down three times then
# Return (on "Quit") ends the game with status 0.
source "$(dirname "$0")/lib.sh" "$1"
start_x
start_game "$BUILD_DIR/chainball"
sleep 1
shot menu.png
sleep 0.3
shot menu-later.png
n=$(colours_in menu.png 500x500+0+0)
echo "menu screenshot has $n colours"
[ "$n" -gt 50 ] || { echo "the menu looks flat"; exit 1; }
if cmp -s <(convert "$ARTIFACTS/menu.png" -crop 500x140+0+0 rgb:-) <(convert "$ARTIFACTS/menu-later.png" -crop 500x140+0+0 rgb:-); then
  echo "the background did not move"; exit 1
fi
start=$(date +%s)
key Down Down Down Return
wait_exit 10 || exit 1
echo "quit with status 0 after $(( $(date +%s) - start )) s"

# Escape on the menu quits too, and so does the window's close button.
start_game "$BUILD_DIR/chainball"
sleep 0.5
key Escape
wait_exit 10 || { echo "Escape did not quit"; exit 1; }
start_game "$BUILD_DIR/chainball"
sleep 0.5
close_window
wait_exit 10 || { echo "closing the window did not quit"; exit 1; }
echo "Escape and the close button quit with status 0"
