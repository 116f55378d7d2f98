#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The game as the only client of an X server that resets whenever its last
# client leaves (no -noreset): five starts in a row each reach the menu and
# quit from it with Escape. Nothing else connects before the game's window
# is up, so a connection the game opened and closed on its way would reset
# the server under it.
source "$(dirname "$0")/lib.sh" "$1"

start_x reset
server_files() { ls "/proc/$XVFB_PID/fd" | wc -l; }   # one more for each client
idle=$(server_files)

for run in 1 2 3 4 5; do
  SDL_AUDIODRIVER=dummy "$BUILD_DIR/chainball" >"$ARTIFACTS/game.out" 2>&1 &
  GAME_PID=$!
  # Until the game has stayed connected for 2 s, or has given up.
  stood=0
  for _ in $(seq 300); do
    kill -0 "$GAME_PID" 2>/dev/null || break
    if [ "$(server_files)" -gt "$idle" ]; then stood=$((stood + 1)); else stood=0; fi
    [ "$stood" -ge 20 ] && break
    sleep 0.1
  done
  kill -0 "$GAME_PID" 2>/dev/null || { echo "run $run: the game ended before its window:"; cat "$ARTIFACTS/game.out"; exit 1; }
  WIN=$(xdotool search --name '^Chainball$' 2>/dev/null | head -n 1)
  [ -n "$WIN" ] || { echo "run $run: no Chainball window"; cat "$ARTIFACTS/game.out"; exit 1; }
  wait_until 30 "the menu, run $run" menu_showing || exit 1
  key Escape
  wait_exit 10 || { echo "run $run: Escape on the menu did not end the game with status 0"; exit 1; }
  # The server resets once the last client has gone; the next run waits it out.
  for _ in $(seq 100); do [ "$(server_files)" -le "$idle" ] && break; sleep 0.1; done
  sleep 0.5
done
echo "five starts as the server's only client each reached the menu"
