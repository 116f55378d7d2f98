#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A lap of each named track (default: every track of the catalogue) driven
# in a real window through the player's own controls: tools/autopilot.py
# drives player 1 round the track with Up, Left and Right and writes the
# drive as a replay; chainball-sim checks it, and the game shows it from the
# countdown to "Player 1 won!" on the race-end screen.
# Usage: track_laps.sh BUILD_DIR [--extras] [TRACK...|all]
# Without tracks (as in make test) two of them: a lap takes its own time.
# With --extras the game shows the drive as the full game draws the track.
source "$(dirname "$0")/lib.sh" "$1"
shift
look=()
[ "${1:-}" = --extras ] && { look=(--extras); shift; }
tracks=("$@")
[ ${#tracks[@]} -gt 0 ] || tracks=(StepDown Chicanes)
[ "${tracks[0]}" = all ] && mapfile -t tracks < <(tr -d ' \t\r' <"$BUILD_DIR/filut/levelit/all_levels.txt" | tr '#' '\n' | grep .)
mkdir -p "$ARTIFACTS/laps"
start_x
for name in "${tracks[@]}"; do
  replay="$ARTIFACTS/laps/$name.cbreplay"
  /usr/bin/python3 "$(dirname "$0")/../../tools/autopilot.py" "$BUILD_DIR" "$name" "$replay" || exit 1
  "$BUILD_DIR/chainball-sim" --replay "$replay" >/dev/null || { echo "$name: the drive does not replay"; exit 1; }
  steps=$(sed -n 's/^result winner 1 steps \([0-9]*\) .*/\1/p' "$replay")
  start_game "$BUILD_DIR/chainball" "${look[@]}" --replay "$replay"
  sleep $((4 + steps / 100))            # the countdown, then half the lap
  shot "laps/$name${look:+-full}-midway.png"
  if [ ${#look[@]} -gt 0 ]; then
    # The full game ends on its own results; the picture is what counts here.
    sleep $((4 + steps / 100))
    shot "laps/$name-full-end.png"
    kill "$GAME_PID"; wait "$GAME_PID" 2>/dev/null; GAME_PID=""
    printf '%s: a lap of %d steps shown as the full game draws it\n' "$name" "$steps"
    continue
  fi
  wait_until 90 "$name: the race-end screen" race_end_showing || exit 1
  w=$(white_width now.png 340x50+120+45)
  [ "$w" -gt 240 ] && [ "$w" -lt 330 ] || { echo "$name: no winner line"; exit 1; }
  cp "$ARTIFACTS/now.png" "$ARTIFACTS/laps/$name${look:+-full}-end.png"
  key Escape                          # to the main menu
  wait_until 30 "the menu" menu_showing || exit 1
  key Escape                          # quits
  wait_exit 10 || exit 1
  printf '%s: a lap of %d steps (%d.%02d s) driven in the window\n' "$name" "$steps" $((steps / 50)) $((steps % 50 * 2))
done
