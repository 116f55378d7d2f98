#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Replays in a real window. Three races played with keys while the game
# records (one player to the end, two players to the end, one left with
# Escape on another track); chainball-sim must reproduce each recorded result exactly, which
# proves that what the players saw is what the files hold. Then the shipped
# test replay is watched: countdown, pause with Ctrl+P, and the race-end
# screen naming the same winner; and the left race is watched back to the
# menu. Files the game must refuse end with status 2 before any window.
source "$(dirname "$0")/lib.sh" "$1"
DATA="$(cd "$(dirname "$0")/../data/replays" && pwd)"
SHIPPED="$DATA/straight-one-player.cbreplay"
SIM="$BUILD_DIR/chainball-sim"

make_game_dir
# Paths given relative to the caller's working directory, which is not the
# game's folder.
PLAY="$GAME_DIR/play"
REC="$PLAY/races"
mkdir -p "$PLAY"
cp "$SHIPPED" "$PLAY/shipped.cbreplay"
# in_play ARGS...: the game started from $PLAY.
in_play() {
  start_game bash -c 'cd "$1" && shift && exec "$@"' _ "$PLAY" "$GAME_DIR/chainball" "$@"
}

# refused EXPECTED_TEXT ARGS...: status 2, no window, one line naming the cause.
refused() {
  local want=$1 status=0
  shift
  SDL_VIDEODRIVER=x11 DISPLAY=:none "$GAME_DIR/chainball" "$@" >"$ARTIFACTS/refused.out" 2>&1 || status=$?
  [ "$status" = 2 ] || { echo "chainball $*: status $status, not 2"; cat "$ARTIFACTS/refused.out"; exit 1; }
  [ "$(wc -l <"$ARTIFACTS/refused.out")" = 1 ] && grep -q "$want" "$ARTIFACTS/refused.out" ||
    { echo "chainball $*: expected one line with '$want':"; cat "$ARTIFACTS/refused.out"; exit 1; }
}
refused "cannot record races in '/proc/no-such/x'" --record /proc/no-such/x
sed 's/^track Straight ./track Straight 0/; s/^track Straight 00/track Straight 11/' "$SHIPPED" >"$GAME_DIR/other-track.cbreplay"
refused "track Straight .*SHA-256 differs" --replay "$GAME_DIR/other-track.cbreplay"
head -n 5 "$SHIPPED" >"$GAME_DIR/truncated.cbreplay"
refused "truncated" --replay "$GAME_DIR/truncated.cbreplay"
echo "unwritable folder, changed track and truncated file refused before any window"

start_x
in_play --record races
sleep 0.5
solo_one_lap_settings
key Down Down Down Return          # "Done"
sleep 0.3

# The race-end screen with the cursor the menu left on button N lit.
race_end_lit() {   # race_end_lit FILE N
  [ "$(pixel "$1" 300 $((160 + 30 * $2)))" = "$LIT" ] && [ "$(white_in "$1" 340x50+120+45)" -gt 200 ]
}
# drive_to_end N KEY...: holds the keys from the countdown on until the
# race-end screen shows (the menu's cursor N kept), then leaves it with "Menu".
drive_to_end() {
  local k ended=no cursor=$1
  shift
  sleep 4.3
  for k in "$@"; do xdotool keydown --window "$WIN" "$k"; done
  for _ in $(seq 60); do
    sleep 0.25
    shot replay-end.png
    if race_end_lit replay-end.png "$cursor"; then ended=yes; break; fi
  done
  for k in "$@"; do xdotool keyup --window "$WIN" "$k"; done
  [ "$ended" = yes ] || { echo "no race-end screen while holding $*"; exit 1; }
  for _ in $(seq 1 $((1 - cursor))); do key Down; done
  key Down Return                  # "Menu"; the menu keeps cursor 2
  sleep 0.3
}

key Return                         # "Start 1 player"
drive_to_end 0 Up
key Return Up Right                # "Settings", player 2: 0 -> 1
key Down Down Down Down Down Return   # "Done"; the menu's cursor wraps to 0
sleep 0.3
key Down Return                    # "Start 2 players"
drive_to_end 1 Up w
key Return Down Down Right         # "Settings", level: Straight -> FirstLoop
key Down Down Return               # "Done"
sleep 0.3
key Return                         # "Start 1 player", player 2 driven by the computer
sleep 4.3
hold Up 1
key Escape
sleep 0.3
key Escape                         # quits from the menu
wait_exit 10 || { echo "the recording game did not end with status 0"; exit 1; }

mapfile -t files < <(ls "$REC"/*.cbreplay 2>/dev/null)
[ "${#files[@]}" = 3 ] || { echo "expected 3 replays in $REC, found ${#files[@]}"; ls -l "$REC"; exit 1; }
grep -q '^result winner 1 .* laps 1 0 0$' "${files[0]}" || { echo "race 1:"; tail -n 2 "${files[0]}"; exit 1; }
grep -q '^players 2$' "${files[1]}" && grep -q '^result winner [12] steps [0-9]* laps [1-9][0-9]* [1-9][0-9]* 0$' "${files[1]}" ||
  { echo "race 2:"; tail -n 2 "${files[1]}"; exit 1; }
grep -q '^result left at step [0-9]*$' "${files[2]}" || { echo "race 3:"; tail -n 2 "${files[2]}"; exit 1; }
for f in "${files[@]}"; do
  cp "$f" "$ARTIFACTS/"
  status=0
  track=$(sed -n 's/^track \([^ ]*\) .*/\1/p' "$f")
  "$SIM" --replay "$f" --track "$GAME_DIR/filut/levelit/$track.txt" >"$ARTIFACTS/replay-trace.txt" 2>"$ARTIFACTS/replay-sim.err" || status=$?
  [ "$status" = 0 ] || { echo "chainball-sim --replay $(basename "$f"): status $status"; cat "$ARTIFACTS/replay-sim.err"; exit 1; }
  echo "$(basename "$f"): $(tail -n 1 "$f"); $(cat "$ARTIFACTS/replay-sim.err")"
done
# The left race replays to the step it was left at, and no further.
left_at=$(sed -n 's/^result left at step //p' "${files[2]}")
[ "$(grep -c '^step ' "$ARTIFACTS/replay-trace.txt")" = $((left_at + 1)) ] || { echo "the left race ran on"; exit 1; }

# Watching the shipped replay: the countdown, a pause, the race-end screen.
in_play --replay shipped.cbreplay
sleep 4.4
pause_checked watch-pause 500x500+0+0 120x50+185+235 || exit 1
key p
wait_until 20 "the watched race's end" race_end_showing || exit 1
shot watch-end.png
w=$(white_width watch-end.png 340x50+120+45)
[ "$w" -gt 240 ] && [ "$w" -lt 330 ] || { echo "the winner line of the watched race is not there ($w)"; exit 1; }
key Escape
sleep 0.3
shot watch-menu.png
menu_showing watch-menu.png || { echo "Escape did not lead to the menu"; exit 1; }
key Escape
wait_exit 10 || { echo "the watching game did not end with status 0"; exit 1; }
echo "shipped replay watched: paused, and its race-end screen shows the winner"

# The left race, watched: it leaves for the menu where it was left.
start_game "$GAME_DIR/chainball" --replay "${files[2]}"
wait_until 20 "the menu after the left race" menu_showing || exit 1
key Escape
wait_exit 10 || { echo "the game did not end with status 0"; exit 1; }
echo "left race watched back to the menu"
