#!/usr/bin/env bash
# The game binary itself in a real window (Xvfb), driven with xdotool, and a
# table of what it costs there: CPU per screen (user + system time of the
# process from /proc, as a share of one core), frames shown per second,
# exec to the first shown frame (median of 15 whole processes), the window
# to the music, and peak resident memory (VmHWM). The frame counts and the
# first frame come from bench/preload/first_frame.cpp, preloaded into the
# game (LD_PRELOAD); the game itself is the plain binary.
# Usage: bench/real_window.sh BUILD_DIR   (needs Xvfb, xdotool, ImageMagick, c++)
XVFB_SCREEN=2560x1600x24   # room for --scale 3 of a two-player race
source "$(dirname "$0")/../tests/window/lib.sh" "$1"

SHIM="$BUILD_DIR/first_frame.so"
FLIPS="$ARTIFACTS/frames.txt"
"${CXX:-c++}" -O2 -shared -fPIC -o "$SHIM" "$(dirname "$0")/preload/first_frame.cpp" \
  $(pkg-config --cflags sdl) -ldl || { echo "cannot build $SHIM"; exit 1; }

cpu_ticks() {   # user + system clock ticks of the game so far
  awk '{print $14 + $15}' "/proc/$GAME_PID/stat"
}
frames() {
  tr -d ' ' <"$FLIPS" 2>/dev/null || echo 0
}

# row NAME SECONDS: the game's CPU share and frame rate while a screen runs.
row() {
  local c0 c1 f0 f1 hz
  hz=$(getconf CLK_TCK)
  c0=$(cpu_ticks); f0=$(frames)
  sleep "$2"
  c1=$(cpu_ticks); f1=$(frames)
  awk -v a="$c0" -v b="$c1" -v f="$f0" -v g="$f1" -v hz="$hz" -v s="$2" -v n="$1" \
    'BEGIN { printf "  %-40s %6.1f %%  %6.1f\n", n, 100 * (b - a) / hz / s, (g - f) / s }'
}

measured_game() {   # measured_game BINARY [OPTION...]
  rm -f "$FLIPS"
  CHAINBALL_FLIP_LOG="$FLIPS" LD_PRELOAD="$SHIM" start_game "$@"
}

pause_now() {   # Ctrl+P, with Ctrl still down when the frame reads the keyboard
  xdotool keydown --window "$WIN" ctrl 2>/dev/null
  sleep 0.2
  key p
  xdotool keyup --window "$WIN" ctrl 2>/dev/null
  sleep 0.3
}

start_x
echo "game binary in a real window ($XVFB_SCREEN):"
echo "  screen                                   CPU of one core  frames shown/s"

# One: the menus, a two-player race with its countdown and pause, a
# one-player race; three racers of 10 balls on GrandLoop.
measured_game "$BUILD_DIR/chainball"
sleep 1
row "main menu" 3
key Down Down Return             # Settings, which opens on entry 2: the cursor is shared
key Up Up Right Right Right      # player 1: 7 -> 10 balls
key Down Right Right Right Right Right Right Right Right   # player 2: 2 -> 10
key Down Right Right Right Right Right                     # player 3: 5 -> 10
key Down Down Right Right Right Right Right Right Right Right Right Right   # level 0 -> 10, GrandLoop
row "settings" 3
key Escape                       # back to the menu, cursor wraps to 0
key Down Return                  # "Start 2 players"
sleep 0.2
row "countdown, two players" 3
sleep 1.2
xdotool keydown --window "$WIN" Up w 2>/dev/null
row "race, two players, 30 balls" 5
xdotool keyup --window "$WIN" Up w 2>/dev/null
pause_now
row "pause, two players" 3
key p
key Escape
key Up Return                    # "Start 1 player"
sleep 4.5
xdotool keydown --window "$WIN" Up 2>/dev/null
row "race, one player, 30 balls" 5
xdotool keyup --window "$WIN" Up 2>/dev/null
shot real-window-race.png
key Escape
sleep 0.5
peak=$(awk '/^VmHWM:/ {print $2}' "/proc/$GAME_PID/status")
key Escape                       # quits from the menu
wait_exit 10 || exit 1

# Two: the race-end screen, after a one-lap race alone on a level that is
# only a finish cell (a copy of the game beside a data folder of its own).
game_copy $'Straight#\n'
cp "$STRAIGHT_LEVEL" "$GAME_DIR/filut/levelit/"
measured_game "$GAME_DIR/chainball"
sleep 0.5
solo_one_lap_settings
key Down Down Down Return        # "Done"
key Return                       # "Start 1 player"
sleep 4.3
xdotool keydown --window "$WIN" Up 2>/dev/null
ended=no
for _ in $(seq 40); do
  sleep 0.25
  shot now.png
  [ "$(pixel now.png 300 160)" = "$LIT" ] && { ended=yes; break; }
done
xdotool keyup --window "$WIN" Up 2>/dev/null
if [ "$ended" = yes ]; then row "race end" 3; else echo "  race end: not reached"; fi
key Escape Escape
wait_exit 10 || exit 1

# Three: --scale 3, the menu and a two-player race (default settings).
measured_game "$BUILD_DIR/chainball" --scale 3
sleep 1
row "main menu, --scale 3" 3
key Down Return
sleep 4.5
xdotool keydown --window "$WIN" Up w 2>/dev/null
row "race, two players, --scale 3" 5
xdotool keyup --window "$WIN" Up w 2>/dev/null
pause_now
row "pause, two players, --scale 3" 3
key p Escape Escape
wait_exit 10 || exit 1

echo "  (above scale 1 only frames that changed go to X: a still screen shows 0 frames/s)"
awk -v kb="$peak" 'BEGIN { printf "  peak resident memory (VmHWM), run one   %6.1f MiB\n", kb / 1024 }'

# Exec to the first shown frame, and from the window to the music, as whole
# processes: each run is timed from just before its start to its end.
/usr/bin/python3 - "$BUILD_DIR/chainball" "$SHIM" <<'EOF'
import os, statistics, subprocess, sys, time
game, shim = sys.argv[1], sys.argv[2]
env = dict(os.environ, SDL_VIDEODRIVER="x11", SDL_AUDIODRIVER="dummy", LD_PRELOAD=shim)
def run(mode):
    t0 = time.perf_counter()
    p = subprocess.run([game], env=dict(env, CHAINBALL_FIRST_FRAME=mode), capture_output=True, text=True, timeout=30)
    return (time.perf_counter() - t0) * 1000, p.stderr
run("exit")   # warm-up: files into the page cache
first = sorted(run("exit")[0] for _ in range(15))
music = []
for _ in range(5):
    out = dict(l.split() for l in run("music")[1].splitlines() if l.count(" ") == 1)
    if "window_to_music_ms" in out:
        music.append(float(out["window_to_music_ms"]))
print("  exec to first shown menu frame           %6.1f ms  (median of 15; %.1f to %.1f)"
      % (statistics.median(first), first[0], first[-1]))
if music:
    print("  window to music playing                  %6.1f ms  (median of %d)" % (statistics.median(music), len(music)))
else:
    print("  window to music playing                  not seen")
EOF
