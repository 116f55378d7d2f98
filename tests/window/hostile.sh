#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Hostile data in a real window. Refused command lines never reach the
# display (strace). A catalogue entry that leads out of the
# data folder is not offered and nothing outside the folder is opened
# (strace); levels that are a FIFO, /dev/zero and a folder race as empty
# levels while Escape and the close button keep answering. Then SIGTERM,
# SIGINT, SIGHUP and SIGQUIT end the game (SIGTERM on each screen, the
# others on the menu and in a paused race with Ctrl held), and SIGPIPE is
# ignored.
source "$(dirname "$0")/lib.sh" "$1"
command -v strace >/dev/null || { echo "missing strace (run scripts/install-deps)"; exit 1; }

ROOT=$(mktemp -d)
trap 'stop_x; rm -rf "$ROOT"' EXIT
GAME_DIR=$ROOT/game
mkdir -p "$GAME_DIR/filut/levelit" "$ROOT/outside"
cp "$BUILD_DIR/chainball" "$GAME_DIR/"
find "$BUILD_DIR/filut" -maxdepth 1 -type f -exec cp {} "$GAME_DIR/filut/" \;
LEVELS=$GAME_DIR/filut/levelit
printf '../../outside/secret#FifoLevel#ZeroLevel#DirLevel#Straight#\n' >"$LEVELS/all_levels.txt"
mkfifo "$LEVELS/FifoLevel.txt"
ln -s /dev/zero "$LEVELS/ZeroLevel.txt"
mkdir "$LEVELS/DirLevel.txt"
printf '0008\n........\n........\n........\n...M....\n........\n........\n........\n........\n' \
  >"$LEVELS/Straight.txt"
cp "$BUILD_DIR/filut/levelit/FirstLoop.txt" "$ROOT/outside/secret.txt"

race_showing() {   # a race screen: the lap bar's frame at its place, no lit menu button
  ! menu_showing "$1" && [ "$(colours_in "$1" 100x30+10+10)" -gt 3 ]
}

start_x

# Every refused command line is refused before any connection to the display.
printf 'not a replay\n' >"$ROOT/not-a-replay"
for args in "--bogus" "--scale 9" "--host 0" "--force" "--host --join a" "--join :70000" "--join 127.0.0.1:" \
            "--join a:b:c" "--track $ROOT/none.txt" "--track $ROOT" "--record $ROOT/not-a-replay" \
            "--replay $ROOT/not-a-replay" "--extras --replay $ROOT/none"; do
  # shellcheck disable=SC2086  # the words are the arguments
  SDL_AUDIODRIVER=dummy strace -f -qq -e trace=connect -o "$ARTIFACTS/refused.strace" "$GAME_DIR/chainball" $args \
    >/dev/null 2>"$ARTIFACTS/refused.err"
  status=$?
  [ "$status" = 2 ] || { echo "chainball $args: status $status, wanted 2"; cat "$ARTIFACTS/refused.err"; exit 1; }
  ! grep -q X11 "$ARTIFACTS/refused.strace" || { echo "chainball $args: connected to the display before refusing"; exit 1; }
done
echo "every refused command line was refused before any connection to the display"

start_game strace -f -qq -e trace=open,openat,openat2 -o "$ARTIFACTS/hostile.strace" "$GAME_DIR/chainball"
wait_until 60 "the menu" menu_showing || exit 1

# Entry 0 is now the FIFO: its race starts at once on an empty level.
key Return
wait_until 30 "the race on a FIFO level" race_showing || exit 1
key Escape
wait_until 30 "the menu after Escape" menu_showing || exit 1

# Settings: the level one further (the /dev/zero link), then start it.
key Down Down Return
sleep 0.5
key Down Down Right Escape         # cursor 2 -> 4 ("Level:"), next level, back
wait_until 30 "the menu after the settings" menu_showing || exit 1
key Return
wait_until 30 "the race on a /dev/zero level" race_showing || exit 1
sleep 4.2                          # past the countdown
shot hostile-zero-race.png
key Escape
wait_until 30 "the menu after the second race" menu_showing || exit 1

# The folder as a level, left with the window's close button mid-race.
key Down Down Return
sleep 0.5
key Down Down Right Escape
wait_until 30 "the menu" menu_showing || exit 1
key Return
wait_until 30 "the race on a folder level" race_showing || exit 1
sleep 4.2
close_window
wait_exit 30 || { echo "the game did not end with status 0 after the close button"; exit 1; }

err=$(grep '^chainball:' "$ARTIFACTS/game.out" || true)
echo "$err"
for cause in 'track name "../../outside/secret" skipped' 'FifoLevel.txt: a FIFO, not a regular file' \
             'ZeroLevel.txt: a character device' 'DirLevel.txt: a directory, not a file'; do
  grep -qF "$cause" <<<"$err" || { echo "no line saying: $cause"; exit 1; }
done
outside=$(grep -E 'outside|/\.\./' "$ARTIFACTS/hostile.strace" || true)
[ -z "$outside" ] || { echo "opened outside the data folder:"; echo "$outside"; exit 1; }
grep -q 'FifoLevel.txt.*O_NONBLOCK' "$ARTIFACTS/hostile.strace" \
  || { echo "strace saw no open of the FIFO level: the check proves nothing"; exit 1; }
echo "hostile levels raced as empty levels; nothing outside the data folder was opened"

# SIGTERM and SIGINT on every screen: the status a shell expects of a
# program stopped by that signal, within a few seconds, by the normal
# shut-down (nothing on stderr but what the level files said).
signal_on() {   # signal_on NAME SIGNAL KEYS-FUNCTION
  start_game "$GAME_DIR/chainball"
  wait_until 60 "the menu" menu_showing || exit 1
  "$3"
  local start=$(date +%s%N)
  kill -"$2" "$GAME_PID"
  wait_exit 5
  local status=$?
  echo "$1, SIG$2: exit status $status after $(( ($(date +%s%N) - start) / 1000000 )) ms"
  local want=$((128 + $(kill -l "$2")))
  [ "$status" = "$want" ] || { echo "wanted $want"; cat "$ARTIFACTS/game.out"; exit 1; }
  if grep -v '^chainball: level ' "$ARTIFACTS/game.out" | grep -q .; then
    echo "unexpected output:"; cat "$ARTIFACTS/game.out"; exit 1
  fi
}
on_menu() { :; }
on_settings() { key Down Down Return; sleep 0.5; }
on_countdown() { key Return; sleep 1; }
on_race() { key Return; sleep 4.5; }
on_paused_with_ctrl_held() {
  key Return
  sleep 4.5
  xdotool keydown --window "$WIN" ctrl
  sleep 0.2
  key p
  sleep 0.5                         # Ctrl stays held
}
# One handler serves every signal and every screen polls it: SIGTERM on
# every screen, the others on the menu and in a paused race with Ctrl held.
for screen in on_menu on_settings on_countdown on_race on_paused_with_ctrl_held; do
  signal_on "$screen" TERM "$screen"
  xdotool keyup ctrl 2>/dev/null || true
done
for sig in INT HUP QUIT; do
  for screen in on_menu on_paused_with_ctrl_held; do
    signal_on "$screen" "$sig" "$screen"
    xdotool keyup ctrl 2>/dev/null || true
  done
done
echo "every screen ended promptly on SIGTERM; the menu and a paused race on SIGINT, SIGHUP and SIGQUIT"

# SIGPIPE mid-race is ignored: the race goes on, and SIGTERM still ends it.
start_game "$GAME_DIR/chainball"
wait_until 60 "the menu" menu_showing || exit 1
on_race
kill -PIPE "$GAME_PID"
sleep 1
kill -0 "$GAME_PID" 2>/dev/null || { echo "SIGPIPE ended the game"; cat "$ARTIFACTS/game.out"; exit 1; }
wait_until 10 "the race after SIGPIPE" race_showing || exit 1
kill -TERM "$GAME_PID"
wait_exit 5
status=$?
[ "$status" = 143 ] || { echo "SIGTERM after SIGPIPE: status $status, wanted 143"; exit 1; }
echo "SIGPIPE was ignored mid-race"
