#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The full game's time trial in a real window: FirstLoop, chain length 1,
# one lap, driven by tools/autopilot.py's keys held one step per race frame
# (tests/preload/frame_keys.cpp) sets the lap and race records at the
# autopilot's step count; a second run in a new process shows the ghost
# (pale blue pixels where no picture of the track or the balls has them);
# the Replays screen lists the trial's race and watches it to its end, at
# 8x much sooner than at 1x. Screenshots in BUILD/artifacts/trial/.
source "$(dirname "$0")/lib.sh" "$1"
mkdir -p "$ARTIFACTS/trial"
data=$(mktemp -d)
export XDG_DATA_HOME=$data/data XDG_CONFIG_HOME=$data/config
mkdir -p "$XDG_CONFIG_HOME/chainball"
# Off-road Free: the autopilot plans its keys in chainball-sim, which races Free.
printf '[race]\nghosts = true\noff_road = "free"\n[recording]\non = true\n' >"$XDG_CONFIG_HOME/chainball/chainball.toml"
/usr/bin/python3 "$(dirname "$0")/../../tools/autopilot.py" "$BUILD_DIR" FirstLoop "$data/first.cbreplay" >/dev/null || exit 1
steps=$(sed -n 's/^result winner 1 steps \([0-9]*\) .*/\1/p' "$data/first.cbreplay")
awk '/^keys /{n=$2; f=1; next} f&&n>0{print; n--}' "$data/first.cbreplay" >"$data/first.keys"
stop_game() { kill "$GAME_PID" 2>/dev/null; wait "$GAME_PID" 2>/dev/null; }
winner_line() { [ "$(white_in "$1" 500x60+0+30)" -gt 200 ]; }
# The ghost's pale blue blended over the road or the grass.
ghost_pixels() { convert "$1" -crop 500x500+0+0 +repage -fx '(b>0.55 && b-r>0.12 && g>0.5 && b-g>0.02) ? 1 : 0' -format '%[fx:int(mean*w*h)]' info:; }
trial() {   # the full menu's "Time trial", length 1, 1 lap, Start
  sleep 1
  key Down Down Down Return
  sleep 0.3
  key Up Up Up Left Left Left Left Left Left Down Left Left Down Down Return
}
start_x
LD_PRELOAD="$BUILD_DIR/libchainball_frame_keys.so" CHAINBALL_FRAME_KEYS="$data/first.keys" \
  start_game "$BUILD_DIR/chainball" --extras
trial
sleep $((6 + steps / 50))
wait_until 30 "the results of the trial" winner_line || exit 1
cp "$ARTIFACTS/now.png" "$ARTIFACTS/trial/record.png"
stop_game
got=$(grep -c "^steps = $steps\$" "$XDG_DATA_HOME/chainball/records.toml")
[ "$got" = 2 ] || { echo "no lap and race record of $steps steps:"; cat "$XDG_DATA_HOME/chainball/records.toml"; exit 1; }

start_game "$BUILD_DIR/chainball" --extras
trial
sleep 4.6
shot trial/ghost.png
stop_game
g=$(ghost_pixels "$ARTIFACTS/trial/ghost.png")
[ "$g" -gt 150 ] || { echo "no ghost on screen ($g pale blue pixels)"; exit 1; }

for speed in 1 8; do
  start_game "$BUILD_DIR/chainball" --extras
  sleep 1
  key Down Down Down Down Return     # Replays
  sleep 0.5
  shot "trial/replays_$speed.png"
  key Down Return                    # the trial's race; the newest is the second run, left
  sleep 4.3
  [ $speed = 8 ] && key f f f
  t0=$(date +%s%N)
  wait_until 60 "the end of the watched race" winner_line || exit 1
  t1=$(date +%s%N)
  eval "took_$speed=$(((t1 - t0) / 1000000))"
  stop_game
done
echo "a lap of $steps steps: record set, ghost shown ($g pixels), watched to its end in ${took_1} ms at 1x and ${took_8} ms at 8x"
[ "$took_8" -lt $((took_1 / 3)) ] || { echo "fast-forward is not faster"; exit 1; }
rm -rf "$data"
