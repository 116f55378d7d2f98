#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# chainball --track FILE in a real window: a file named relative to where
# the game is started, offered alone in the settings, raced at once on
# Start with its own finish (on the right road, unlike every shipped track).
source "$(dirname "$0")/lib.sh" "$1"
SOURCE_DIR=$(cd "$(dirname "$0")/../.." && pwd)

sed '10s/^\.\.\.M#\(.*\)T#\.\.\.$/...T#\1M#.../' "$SOURCE_DIR/filut/levelit/FirstLoop.txt" > "$ARTIFACTS/RightFinish.txt"
grep -q '^\.\.\.T#[.x]\{6\}M#\.\.\.$' "$ARTIFACTS/RightFinish.txt" || { echo "could not move the finish"; exit 1; }

start_x
cd "$ARTIFACTS"
start_game "$BUILD_DIR/chainball" --track RightFinish.txt
sleep 0.5
key Down Down Return             # "Settings"; the cursor stays on entry 2
sleep 0.5
key Down Down                    # "Level:"
key Right                        # one track only: it stays
sleep 0.3
shot track-settings.png
key Escape                       # the menu, its cursor wrapped back to 0
sleep 0.3
key Return                       # "Start 1 player"
sleep 5.5                        # the countdown, and a moment of racing
shot track-race.png

# The view follows player 1 on the start grid below the finish at world
# (550, 400); the camera stops at the grid's right edge (x 300) and puts the
# finish's top 20 rows at (250, 215), clear of every ball by now.
if ! cmp -s <(convert "$SOURCE_DIR/filut/maali.png" -background black -alpha remove -crop 100x20+0+0 rgb:-) \
            <(convert "$ARTIFACTS/track-race.png" -crop 100x20+250+215 rgb:-); then
  echo "no finish at (250, 215): the race is not on RightFinish.txt"; exit 1
fi
key Escape
sleep 0.3
key Escape
wait_exit 10 || exit 1
echo "raced RightFinish.txt from --track and quit with status 0"
