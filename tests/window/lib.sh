# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the real-window checks: a private X server, the game in it, keys
# sent with xdotool and screenshots taken with ImageMagick.
# Usage: source lib.sh BUILD_DIR NAME
set -u
BUILD_DIR=$(cd "$1" && pwd)
ARTIFACTS="$BUILD_DIR/artifacts"
mkdir -p "$ARTIFACTS"

for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "missing $tool (run scripts/install-deps)"; exit 1; }
done

# Start Xvfb on a display it picks itself (-displayfd): it claims a free
# number atomically and writes it only once it accepts connections, so two
# servers starting and stopping back to back can never be confused. With
# -noreset it does not reset when its last client leaves: a game started
# just after the previous one ended could otherwise find no display.
# `start_x reset` leaves -noreset out, as a desktop's server may.
start_x() {
  local fifo="$ARTIFACTS/xvfb.display" n="" keep=-noreset
  [ "${1:-}" = reset ] && keep=""
  rm -f "$fifo"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-1024x768x24}" -nolisten tcp $keep 3>"$fifo" >"$ARTIFACTS/xvfb.log" 2>&1 &
  XVFB_PID=$!
  read -r -t 60 n <"$fifo" || true
  rm -f "$fifo"
  [ -n "$n" ] || { echo "could not start Xvfb"; cat "$ARTIFACTS/xvfb.log"; exit 1; }
  export DISPLAY=":$n"
}

stop_x() {
  if [ -n "${GAME_PID:-}" ]; then kill "$GAME_PID" 2>/dev/null; wait "$GAME_PID" 2>/dev/null; fi
  if [ -n "${XVFB_PID:-}" ]; then kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null; fi
  true
}
trap stop_x EXIT

# start_game COMMAND...: runs it with no audio device needed, records its pid.
# SDL is held to X11: without it a lost display would quietly fall back to
# a text-mode driver and the failure would read as a missing window.
start_game() {
  SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy "$@" >"$ARTIFACTS/game.out" 2>&1 &
  GAME_PID=$!
  for _ in $(seq "${WINDOW_WAIT:-100}"); do
    WIN=$(xdotool search --name '^Chainball$' 2>/dev/null | head -n 1)
    [ -n "$WIN" ] && return 0
    kill -0 "$GAME_PID" 2>/dev/null || { echo "game exited early"; cat "$ARTIFACTS/game.out"; exit 1; }
    sleep 0.1
  done
  echo "no Chainball window appeared on $DISPLAY"; cat "$ARTIFACTS/game.out"
  kill -0 "$XVFB_PID" 2>/dev/null || { echo "Xvfb has exited:"; cat "$ARTIFACTS/xvfb.log"; }
  exit 1
}

# key NAME...: one press of each key, a little apart like a person.
key() {
  local k
  for k in "$@"; do
    xdotool key --window "$WIN" "$k" 2>/dev/null
    sleep 0.15
  done
}

hold() {   # hold NAME SECONDS
  xdotool keydown --window "$WIN" "$1" 2>/dev/null
  sleep "$2"
  xdotool keyup --window "$WIN" "$1" 2>/dev/null
}

shot() {   # shot FILE
  import -window root "$ARTIFACTS/$1"
}

# Number of distinct colours in a screenshot region WxH+X+Y.
colours_in() {
  convert "$ARTIFACTS/$1" -crop "$2" +repage -format '%k' info:
}

# wait_exit SECONDS: the game's exit status, or fails after the time.
wait_exit() {
  local t=0
  while kill -0 "$GAME_PID" 2>/dev/null; do
    sleep 0.1
    t=$((t + 1))
    [ "$t" -ge $(($1 * 10)) ] && { echo "game still running after $1 s"; return 1; }
  done
  wait "$GAME_PID"
  local status=$?
  GAME_PID=""
  return $status
}

# wait_until SECONDS WHAT TEST [ARGS...]: runs TEST on a fresh screenshot
# (now.png) until it succeeds. For checks that must not depend on how fast
# the machine is, such as a game slowed down by valgrind.
wait_until() {
  local limit=$1 what=$2 start end
  shift 2
  start=$(date +%s)
  end=$((start + limit))
  while :; do
    shot now.png
    "$@" now.png && { echo "$what after $(( $(date +%s) - start )) s"; return 0; }
    kill -0 "$GAME_PID" 2>/dev/null || { echo "the game ended while waiting for $what"; return 1; }
    [ "$(date +%s)" -ge "$end" ] && { echo "no $what after $limit s (last screenshot: now.png)"; return 1; }
    sleep 0.3
  done
}

menu_showing() {   # the main menu, with its button N (default 0) lit
  [ "$(pixel "$1" 300 $((160 + 30 * ${2:-0})))" = "$LIT" ]
}

# Colour of one pixel of a screenshot, as ImageMagick names it.
pixel() {   # pixel FILE X Y
  convert "$ARTIFACTS/$1" -format "%[pixel:p{$2,$3}]" info:
}

# The highlighted button's colour, on the menus and the race-end screen.
LIT="srgb(175,40,170)"
# The full game's: its readable light pink.
FULL_LIT="srgb(252,206,251)"

# Pure white pixels of a region WxH+X+Y: only text drawn in white is that
# bright over an overlay's darkened picture.
white_in() {   # white_in FILE REGION
  convert "$ARTIFACTS/$1" -crop "$2" +repage -fill black +opaque white -fill white -opaque white \
    -format '%[fx:round(mean*w*h)]' info:
}
# Width of the box around the pure white pixels of a region.
white_width() {   # white_width FILE REGION
  convert "$ARTIFACTS/$1" -crop "$2" +repage -fill black +opaque white -trim -format '%w' info:
}
race_end_showing() {   # the highlighted "Level:" button and a white line of text above it
  [ "$(pixel "$1" 300 160)" = "$LIT" ] && [ "$(white_in "$1" 340x50+120+45)" -gt 200 ]
}

window_size() {   # the game window's WIDTHxHEIGHT
  xdotool getwindowgeometry "$WIN" | sed -n 's/.*Geometry: //p'
}

close_window() {   # the window's close button
  /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/close_window.py" "$WIN"
}

# solo_one_lap_settings: from the main menu with its cursor on entry 0,
# into the settings for a one-lap race of player 1 alone with three balls;
# the settings cursor is left on "Laps".
solo_one_lap_settings() {
  key Down Down Return               # "Settings"; its cursor starts on player 3
  sleep 0.3
  key Up Up Left Left Left Left      # player 1: 7 -> 3
  key Down Left Left                 # player 2: 2 -> 0
  key Down Left Left Left Left Left  # player 3: 5 -> 0
  key Down Left Left                 # laps: 3 -> 1
}

# pause_checked NAME VIEW TEXT: Ctrl+P, then two screenshots (NAME.png and
# NAME-later.png) 0.6 s apart; "Pause" must show in white in the region
# TEXT and the picture in the region VIEW must not move.
pause_checked() {
  xdotool keydown --window "$WIN" ctrl
  sleep 0.2
  key p
  xdotool keyup --window "$WIN" ctrl
  sleep 0.3
  shot "$1.png"
  sleep 0.6
  shot "$1-later.png"
  [ "$(white_in "$1.png" "$3")" -gt 100 ] || { echo "$1: no \"Pause\" over the race"; return 1; }
  cmp -s <(convert "$ARTIFACTS/$1.png" -crop "$2" rgb:-) <(convert "$ARTIFACTS/$1-later.png" -crop "$2" rgb:-) \
    || { echo "$1: the race moved while paused"; return 1; }
}

# game_copy CATALOGUE: the game copied into GAME_DIR (removed at exit)
# beside a data folder of its own: the shipped pictures, font and music,
# and a level folder holding CATALOGUE as its all_levels.txt. The callers
# add the levels; STRAIGHT_LEVEL is a finish cell on open ground, where a
# one-ball, one-lap race ends after a second of driving up.
STRAIGHT_LEVEL="$(cd "$(dirname "${BASH_SOURCE[0]}")/../data/replays" && pwd)/Straight.txt"
game_copy() {
  GAME_DIR=$(mktemp -d)
  trap 'stop_x; rm -rf "$GAME_DIR"' EXIT
  cp "$BUILD_DIR/chainball" "$GAME_DIR/"
  mkdir -p "$GAME_DIR/filut/levelit"
  find "$BUILD_DIR/filut" -maxdepth 1 -type f -exec cp {} "$GAME_DIR/filut/" \;
  printf '%s' "$1" >"$GAME_DIR/filut/levelit/all_levels.txt"
}

# make_game_dir: game_copy with Straight, then FirstLoop.
make_game_dir() {
  game_copy $'Straight#\nFirstLoop#\n'
  cp "$STRAIGHT_LEVEL" "$BUILD_DIR/filut/levelit/FirstLoop.txt" "$GAME_DIR/filut/levelit/"
}
