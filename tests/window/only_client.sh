#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The game as the only client of an X server that resets whenever its last
# client leaves (no -noreset): five starts in a row each reach the menu and
# quit from it with Escape. Nothing else connects before the game's window
# is up, so a connection the game opened and closed on its way would reset
# the server under it. Then a display that goes away after the game's first
# connections (x_gate.py): one line on stderr, and no text driver's terminal
# codes on stdout.
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

# A free display number for the gate, beside the real one. With a fourth
# connection the game has its window.
gate=$((${DISPLAY#:} + 100))
while [ -e "/tmp/.X11-unix/X$gate" ] || [ -e "/tmp/.X$gate-lock" ]; do gate=$((gate + 1)); done
for allowed in 1 2 3; do
  coproc GATE { exec /usr/bin/python3 "$(dirname "$0")/x_gate.py" "${DISPLAY#:}" "$gate" "$allowed"; }
  read -r -t 10 ready <&"${GATE[0]}" || { echo "x_gate.py did not start"; exit 1; }
  DISPLAY=":$gate" TERM=xterm SDL_AUDIODRIVER=dummy timeout 20 "$BUILD_DIR/chainball" \
    </dev/null >"$ARTIFACTS/gate.out" 2>"$ARTIFACTS/gate.err"
  status=$?
  kill "$GATE_PID"; wait "$GATE_PID" 2>/dev/null
  [ "$status" = 1 ] || { echo "$allowed connections: status $status, wanted 1"; exit 1; }
  [ ! -s "$ARTIFACTS/gate.out" ] || { echo "$allowed connections: on stdout:"; cat -v "$ARTIFACTS/gate.out"; exit 1; }
  [ "$(cat "$ARTIFACTS/gate.err")" = "chainball: cannot open a window: no display (cannot reach DISPLAY :$gate)" ] \
    || { echo "$allowed connections: on stderr:"; cat -v "$ARTIFACTS/gate.err"; exit 1; }
done
echo "a display gone after the first 1, 2 or 3 connections: one line, nothing on stdout"
