#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The game binary as a whole process in a real window (Xvfb): exec to the
# first shown frame (median of 15 whole processes) and the window to the
# music, measured from outside with bench/preload/first_frame.cpp preloaded
# (LD_PRELOAD) into the plain binary. What each screen costs at every scale
# is bench/window_screens.sh.
# Usage: bench/real_window.sh BUILD_DIR   (needs Xvfb, xdotool, ImageMagick, c++)
XVFB_SCREEN=1024x768x24
source "$(dirname "$0")/../tests/window/lib.sh" "$1"

SHIM="$BUILD_DIR/first_frame.so"
"${CXX:-c++}" -O2 -shared -fPIC -o "$SHIM" "$(dirname "$0")/preload/first_frame.cpp" \
  $(pkg-config --cflags sdl) -ldl || { echo "cannot build $SHIM"; exit 1; }

start_x
echo "game binary in a real window ($XVFB_SCREEN):"

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
