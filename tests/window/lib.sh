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

# Pick a free display number and start Xvfb on it.
start_x() {
  local n
  for n in $(seq 90 130); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do
      xdpyinfo >/dev/null 2>&1 && return 0
      xdotool getmouselocation >/dev/null 2>&1 && return 0
      sleep 0.1
    done
    kill "$XVFB_PID" 2>/dev/null
  done
  echo "could not start Xvfb"; exit 1
}

stop_x() {
  [ -n "${GAME_PID:-}" ] && kill "$GAME_PID" 2>/dev/null
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null
  true
}
trap stop_x EXIT

# start_game BINARY: runs it with no audio device needed, records its pid.
start_game() {
  SDL_AUDIODRIVER=dummy "$1" >"$ARTIFACTS/game.out" 2>&1 &
  GAME_PID=$!
  for _ in $(seq "${WINDOW_WAIT:-100}"); do
    WIN=$(xdotool search --name '^Chainball$' 2>/dev/null | head -n 1)
    [ -n "$WIN" ] && return 0
    kill -0 "$GAME_PID" 2>/dev/null || { echo "game exited early"; cat "$ARTIFACTS/game.out"; exit 1; }
    sleep 0.1
  done
  echo "no Chainball window appeared"; cat "$ARTIFACTS/game.out"; exit 1
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

close_window() {   # the window's close button
  /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/close_window.py" "$WIN"
}
