#!/usr/bin/env bash
# The game binary itself in a real window (Xvfb), driven through every screen
# with xdotool: settings (three racers at 10 balls, GrandTour), a two-player
# and a one-player race, back to the menu. Prints the game's peak resident
# memory (VmHWM) and its CPU time per second of each screen.
# Usage: bench/real_window.sh BUILD_DIR   (needs Xvfb, xdotool, ImageMagick)
source "$(dirname "$0")/../tests/window/lib.sh" "$1"

cpu_ticks() {   # user + system clock ticks of the game so far
  awk '{print $14 + $15}' "/proc/$GAME_PID/stat"
}

# cpu_share NAME SECONDS: the game's CPU use while it runs a screen.
cpu_share() {
  local before after hz
  hz=$(getconf CLK_TCK)
  before=$(cpu_ticks)
  sleep "$2"
  after=$(cpu_ticks)
  awk -v a="$before" -v b="$after" -v hz="$hz" -v s="$2" -v n="$1" \
    'BEGIN { printf "  %-34s %5.1f %% of one core\n", n, 100 * (b - a) / hz / s }'
}

start_x
start_game "$BUILD_DIR/chainball"
sleep 1
echo "game binary in a real window:"
cpu_share "main menu" 3

key Down Down Return             # Settings, which opens on entry 2: the cursor is shared
key Up Up Right Right Right      # player 1: 7 -> 10 balls
key Down Right Right Right Right Right Right Right Right   # player 2: 2 -> 10
key Down Right Right Right Right Right                     # player 3: 5 -> 10
key Down Down Right Right Right Right Right Right Right    # level 0 -> 7, GrandTour
cpu_share "settings" 3
key Escape                       # back to the menu, cursor wraps to 0
key Down Return                  # "Start 2 players"
sleep 4.5                        # countdown
xdotool keydown --window "$WIN" Up w
cpu_share "race, two players, 30 balls" 5
xdotool keyup --window "$WIN" Up w
key Escape
key Up Return                    # "Start 1 player"
sleep 4.5
xdotool keydown --window "$WIN" Up
cpu_share "race, one player, 30 balls" 5
xdotool keyup --window "$WIN" Up
shot real-window-race.png
key Escape
sleep 0.5
peak=$(awk '/^VmHWM:/ {print $2}' "/proc/$GAME_PID/status")
awk -v kb="$peak" 'BEGIN { printf "  peak resident memory (VmHWM)       %5.1f MiB\n", kb / 1024 }'
key Escape                       # quits from the menu
wait_exit 10 || exit 1
