#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every screen of the game binary in a real window (Xvfb) at scales 1 to 3,
# each beside a minimal SDL program of the same window size and pacing
# (bench/programs/minimal_window.cpp), in one run; then the two-player race again
# while another process keeps one core busy. Per row: the CPU of the game
# (user + system time from /proc/PID/stat, share of one core), the CPU of
# the X server over the same seconds, frames sent to X per second, and race
# steps per second. Frames and steps are counted by
# bench/preload/first_frame.cpp, preloaded into the plain binary: a frame
# is a flip or an update sent to X (or, enlarged on the X server's side,
# a composite the game ends with a sync), a step a read of the keyboard state,
# which the game makes once per race step and nowhere else.
# Usage: bench/window_screens.sh BUILD_DIR [GAME_BINARY]
XVFB_SCREEN=2560x1600x24   # room for scale 3 of a two-player race
source "$(dirname "$0")/../tests/window/lib.sh" "$1"
GAME=${2:-$BUILD_DIR/chainball}
GAME=$(cd "$(dirname "$GAME")" && pwd)/$(basename "$GAME")

SHIM="$BUILD_DIR/first_frame.so"
MINIMAL="$BUILD_DIR/minimal_window"
LOG="$ARTIFACTS/frames.txt"
"${CXX:-c++}" -O2 -shared -fPIC -o "$SHIM" "$(dirname "$0")/preload/first_frame.cpp" \
  $(pkg-config --cflags sdl) -ldl || { echo "cannot build $SHIM"; exit 1; }
"${CXX:-c++}" -O2 -o "$MINIMAL" "$(dirname "$0")/programs/minimal_window.cpp" \
  $(pkg-config --cflags --libs sdl) || { echo "cannot build $MINIMAL"; exit 1; }

HZ=$(getconf CLK_TCK)
ticks() {   # ticks PID: user + system clock ticks so far
  awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0
}
counts() {   # FRAMES STEPS so far
  awk '{print $1, $2}' "$LOG" 2>/dev/null || echo "0 0"
}

# row NAME SECONDS PID: the process's CPU, X's CPU, frames and steps a second.
row() {
  local c0 c1 x0 x1 n0 n1
  c0=$(ticks "$3"); x0=$(ticks "$XVFB_PID"); n0=$(counts)
  sleep "$2"
  c1=$(ticks "$3"); x1=$(ticks "$XVFB_PID"); n1=$(counts)
  awk -v a="$c0" -v b="$c1" -v xa="$x0" -v xb="$x1" -v n0="$n0" -v n1="$n1" -v hz="$HZ" -v s="$2" -v n="$1" '
    BEGIN { split(n0, p, " "); split(n1, q, " ");
            steps = (q[2] - p[2]) / s;
            printf "  %-34s %6.1f %%  %6.1f %%  %7.1f  %7s\n", n, 100 * (b - a) / hz / s,
                   100 * (xb - xa) / hz / s, (q[1] - p[1]) / s, (steps > 0 ? sprintf("%.1f", steps) : "-") }'
}

game() {   # game BINARY SCALE
  rm -f "$LOG"
  CHAINBALL_FLIP_LOG="$LOG" LD_PRELOAD="$SHIM" start_game "$1" --scale "$2"
}

# minimal W H KIND SCALE: the minimal program's row for a picture of W x H.
minimal() {
  rm -f "$LOG"
  CHAINBALL_FLIP_LOG="$LOG" LD_PRELOAD="$SHIM" SDL_VIDEODRIVER=x11 \
    "$MINIMAL" $(($1 * $4)) $(($2 * $4)) "$3" 4.5 >/dev/null 2>&1 &
  local pid=$!
  sleep 1
  row "  minimal SDL, $(($1 * $4))x$(($2 * $4)) $3" 3 "$pid"
  wait "$pid"
}

pause_now() {   # Ctrl+P, with Ctrl still down when the frame reads the keyboard
  xdotool keydown --window "$WIN" ctrl 2>/dev/null
  sleep 0.2
  key p
  xdotool keyup --window "$WIN" ctrl 2>/dev/null
  sleep 0.3
}

# Into the settings and out: three racers of 10 balls on GrandLoop (level
# 8); back on the main menu with the cursor on entry 0.
ten_balls_on_grandloop() {
  key Down Down Return             # Settings, which opens on entry 2: the cursor is shared
  key Up Up Right Right Right      # player 1: 7 -> 10 balls
  key Down Right Right Right Right Right Right Right Right   # player 2: 2 -> 10
  key Down Right Right Right Right Right                     # player 3: 5 -> 10
  key Down Down Right Right Right Right Right Right Right Right   # level 0 -> 8, GrandLoop
}

# two_player_race SECONDS: from the main menu, past the countdown, W and Up
# held while a row is taken.
two_player_race_row() {
  key Down Return                  # "Start 2 players"
  sleep 4.5
  xdotool keydown --window "$WIN" Up w 2>/dev/null
  row "$1" 5 "$GAME_PID"
  xdotool keyup --window "$WIN" Up w 2>/dev/null
}

# screens SCALE: every screen at one scale, each with its minimal program.
screens() {
  local s=$1
  echo "scale $s"
  game "$GAME" "$s"
  sleep 1
  row "main menu" 3 "$GAME_PID"
  ten_balls_on_grandloop
  row "settings" 3 "$GAME_PID"
  key Escape                       # the main menu, cursor on entry 0
  key Down Return                  # "Start 2 players"
  sleep 0.2
  row "countdown, two players" 3 "$GAME_PID"
  sleep 1.2
  xdotool keydown --window "$WIN" Up w 2>/dev/null
  row "race, two players, 30 balls" 5 "$GAME_PID"
  xdotool keyup --window "$WIN" Up w 2>/dev/null
  pause_now
  row "pause, two players" 3 "$GAME_PID"
  key p Escape
  key Up Return                    # "Start 1 player"
  sleep 4.5
  xdotool keydown --window "$WIN" Up 2>/dev/null
  row "race, one player, 30 balls" 5 "$GAME_PID"
  xdotool keyup --window "$WIN" Up 2>/dev/null
  key Escape
  [ "$s" = 1 ] && PEAK=$(awk '/^VmHWM:/ {print $2}' "/proc/$GAME_PID/status")
  key Escape                       # quits from the menu
  wait_exit 10 || exit 1

  # The race-end screen, after a one-lap race alone on a level that is only
  # a finish cell (a copy of the game beside a data folder of its own).
  game "$GAME_DIR/chainball" "$s"
  sleep 0.5
  solo_one_lap_settings
  key Down Down Down Return        # "Done"
  key Return                       # "Start 1 player"
  sleep 4.3
  xdotool keydown --window "$WIN" Up 2>/dev/null
  local ended=no
  for _ in $(seq 40); do
    sleep 0.25
    shot now.png
    [ "$(pixel now.png $((300 * s)) $((160 * s)))" = "$LIT" ] && { ended=yes; break; }
  done
  xdotool keyup --window "$WIN" Up 2>/dev/null
  if [ "$ended" = yes ]; then row "race end" 3 "$GAME_PID"; else echo "  race end: not reached"; fi
  key Escape Escape
  wait_exit 10 || exit 1

  minimal 500 500 menu "$s"
  minimal 800 500 race "$s"
  minimal 500 500 race "$s"
  minimal 800 500 still "$s"
}

start_x
game_copy $'Straight#\n'
cp "$GAME" "$GAME_DIR/chainball"
cp "$STRAIGHT_LEVEL" "$GAME_DIR/filut/levelit/"
echo "$(basename "$GAME") in a real window ($XVFB_SCREEN), $(nproc) cores:"
echo "  screen                             game CPU   X CPU   frames/s  steps/s"
for s in ${SCALES:-1 2 3}; do screens "$s"; done
[ -n "${PEAK:-}" ] && awk -v kb="$PEAK" 'BEGIN { printf "peak resident memory (VmHWM) after the scale-1 screens: %.1f MiB\n", kb / 1024 }'

# The two-player race again with one core kept busy by another process.
echo "with one core kept busy:"
( while :; do :; done ) &
BUSY=$!
trap 'kill "$BUSY" 2>/dev/null; stop_x; rm -rf "$GAME_DIR"' EXIT
for s in ${SCALES:-1 2 3}; do
  echo "scale $s"
  game "$GAME" "$s"
  sleep 1
  ten_balls_on_grandloop
  key Escape
  two_player_race_row "race, two players, 30 balls"
  key Escape Escape
  wait_exit 10 || exit 1
  minimal 800 500 race "$s"
done
kill "$BUSY"
wait "$BUSY" 2>/dev/null
echo "(a still screen sends only when its picture changes: the countdown once a second, the pause and the race end not at all)"
