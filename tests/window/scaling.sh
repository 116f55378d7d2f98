#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# --scale and fullscreen in a real window: bad scale values stop before any
# window with status 2; at --scale 2 the menu window is 1000 x 1000 and a
# two-player race 1600 x 1000; the paused race (a still screen: player 3
# left out, nobody steering) shot at scale 2 is made of 2 x 2 blocks and
# shrinks back to the same picture shot at scale 1; F11 covers the display
# with that picture centred on black, and a second F11 gives the window back;
# a window passing over the paused race leaves its picture as it was.
XVFB_SCREEN=1700x1100x24
source "$(dirname "$0")/lib.sh" "$1"

window_size() {
  xdotool getwindowgeometry "$WIN" | sed -n 's/.*Geometry: //p'
}

# The largest window on view: its size as WxH.
largest_window() {
  local id best=0 size="" info w h
  for id in $(xwininfo -root -children | awk '/^ +0x/ {print $1}'); do
    info=$(xwininfo -id "$id")
    grep -q "Map State: IsViewable" <<<"$info" || continue
    w=$(awk '/Width:/ {print $2}' <<<"$info")
    h=$(awk '/Height:/ {print $2}' <<<"$info")
    [ $((w * h)) -gt "$best" ] && { best=$((w * h)); size=${w}x$h; }
  done
  echo "$size"
}

start_x

for bad in 0 5 -1 2.5 x 02 "" ; do
  status=0
  SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy "$BUILD_DIR/chainball" --scale "$bad" \
    >"$ARTIFACTS/bad.out" 2>"$ARTIFACTS/bad.err" || status=$?
  [ "$status" = 2 ] || { echo "--scale '$bad' exited with $status"; exit 1; }
  grep -q "^chainball: --scale takes a whole number from 1 to 4, not '$bad' (see chainball --help)$" "$ARTIFACTS/bad.err" ||
    { echo "--scale '$bad' said:"; cat "$ARTIFACTS/bad.err"; exit 1; }
done
status=0
"$BUILD_DIR/chainball" --scale 2>"$ARTIFACTS/bad.err" || status=$?
[ "$status" = 2 ] && grep -q "needs a number" "$ARTIFACTS/bad.err" || { echo "bare --scale: $status"; exit 1; }
[ -z "$(xdotool search --name '^Chainball$' 2>/dev/null)" ] || { echo "a bad --scale opened a window"; exit 1; }
echo "bad --scale values: status 2, one reason each, no window"

# pause_two_player_race SCALE SHOT: from the main menu, player 3 left out,
# a two-player race nobody steers, paused after its countdown, shot.
pause_two_player_race() {
  start_game "$BUILD_DIR/chainball" --scale "$1"
  sleep 0.5
  local want=$((500 * $1))x$((500 * $1))
  [ "$(window_size)" = "$want" ] || { echo "menu window at scale $1 is $(window_size), not $want"; exit 1; }
  key Down Down Return             # Settings, on entry 2: player 3's balls
  key Left Left Left Left Left     # 5 -> 0: player 3 stays out
  key Escape Up Return             # "Start 2 players"
  sleep 4.5
  want=$((800 * $1))x$((500 * $1))
  [ "$(window_size)" = "$want" ] || { echo "race window at scale $1 is $(window_size), not $want"; exit 1; }
  # Ctrl must still be down when the frame reads the keyboard.
  xdotool keydown --window "$WIN" ctrl 2>/dev/null
  sleep 0.2
  key p
  xdotool keyup --window "$WIN" ctrl 2>/dev/null
  sleep 0.3
  shot "$2"
}

# same_picture FILE CROP FILE2 [CROP2]: the two regions hold the same pixels.
same_picture() {
  cmp -s <(convert "$ARTIFACTS/$1" -crop "$2" +repage rgb:-) <(convert "$ARTIFACTS/$3" -crop "${4:-$2}" +repage rgb:-)
}

# black_border FILE: the display outside the centred 1600 x 1000 picture is black.
black_border() {
  local border
  for border in 1700x50+0+0 1700x50+0+1050 50x1100+0+0 50x1100+1650+0; do
    [ "$(colours_in "$1" $border)" = 1 ] && \
      [ "$(convert "$ARTIFACTS/$1" -crop $border +repage -format '%[pixel:p{0,0}]' info:)" = "srgb(0,0,0)" ] ||
      { echo "fullscreen border $border of $1 is not black"; return 1; }
  done
}

# The balls' pictures are picked at random for each game, so a picture is
# only ever compared with pictures of the same game.
# One: the paused race at scale 1, then F11. 1700 x 1100 holds 800 x 500
# twice, so fullscreen shows it at scale 2, centred on black.
pause_two_player_race 1 pause-scale1.png
n=$(colours_in pause-scale1.png 800x500+0+0)
[ "$n" -gt 10 ] || { echo "the paused race looks flat ($n colours)"; exit 1; }
[ "$(pixel pause-scale1.png 400 250)" = "srgb(0,0,0)" ] || { echo "no line between the views"; exit 1; }
key F11
sleep 0.5
shot pause-fullscreen1.png
[ "$(largest_window)" = 1700x1100 ] || { echo "after F11 the largest window is $(largest_window)"; exit 1; }
black_border pause-fullscreen1.png || exit 1
convert "$ARTIFACTS/pause-fullscreen1.png" -crop 1600x1000+50+50 +repage "$ARTIFACTS/pause-double.png"
# Every 2 x 2 block is one colour: the picture equals itself shrunk by
# taking one pixel of each block and enlarged again.
convert "$ARTIFACTS/pause-double.png" -sample 50% "$ARTIFACTS/pause-shrunk.png"
convert "$ARTIFACTS/pause-shrunk.png" -sample 200% "$ARTIFACTS/pause-blocks.png"
same_picture pause-double.png 1600x1000+0+0 pause-blocks.png || { echo "not made of 2 x 2 blocks"; exit 1; }
same_picture pause-shrunk.png 800x500+0+0 pause-scale1.png ||
  { echo "the scale-2 picture shrunk back differs from the scale-1 one"; exit 1; }
echo "F11 at scale 1: the display covered, the pause at scale 2 in 2 x 2 blocks, shrunk back the same"
key F11
sleep 0.5
shot pause-back1.png
[ "$(window_size)" = 800x500 ] && [ "$(largest_window)" = 800x500 ] ||
  { echo "after a second F11 the window is $(window_size), the largest $(largest_window)"; exit 1; }
same_picture pause-back1.png 800x500+0+0 pause-scale1.png || { echo "the window came back changed"; exit 1; }
echo "second F11: the scale-1 window again, same picture"
key Escape Escape Escape         # continue, leave the race, quit
wait_exit 10 || exit 1

# Two: --scale 2 (window sizes checked on the way), F11 and back.
pause_two_player_race 2 pause-scale2.png
echo "menu 1000x1000 and two-player race 1600x1000 at scale 2"
convert "$ARTIFACTS/pause-scale2.png" -crop 1600x1000+0+0 +repage -sample 50% -sample 200% "$ARTIFACTS/pause-blocks2.png"
same_picture pause-scale2.png 1600x1000+0+0 pause-blocks2.png || { echo "--scale 2 is not 2 x 2 blocks"; exit 1; }
key F11
sleep 0.5
shot pause-fullscreen2.png
[ "$(largest_window)" = 1700x1100 ] || { echo "after F11 the largest window is $(largest_window)"; exit 1; }
black_border pause-fullscreen2.png || exit 1
same_picture pause-fullscreen2.png 1600x1000+50+50 pause-scale2.png 1600x1000+0+0 ||
  { echo "fullscreen picture differs from the --scale 2 window"; exit 1; }
key F11
sleep 0.5
shot pause-back2.png
[ "$(window_size)" = 1600x1000 ] || { echo "after a second F11 the window is $(window_size)"; exit 1; }
same_picture pause-back2.png 1600x1000+0+0 pause-scale2.png || { echo "the window came back changed"; exit 1; }
echo "--scale 2: 2 x 2 blocks; F11 fullscreen with the same picture, and back"

# Another window passes over the paused race: once it has gone the game's
# window shows the same picture again, though a still screen sends nothing.
/usr/bin/python3 "$(dirname "$0")/cover_window.py" 1 &
cover=$!
sleep 0.5
shot covered2.png
wait "$cover"
sleep 0.3
shot uncovered2.png
[ "$(white_in covered2.png 100x100+750+450)" = 10000 ] || { echo "the cover never covered the game"; exit 1; }
same_picture uncovered2.png 1600x1000+0+0 pause-scale2.png || { echo "the paused race did not come back after a cover"; exit 1; }
echo "a window passing over the paused race leaves its picture as it was"

key Escape Escape
sleep 0.3
[ "$(window_size)" = 1000x1000 ] || { echo "menu after the race is $(window_size)"; exit 1; }
key Escape
wait_exit 10 || exit 1
echo "the game quit with status 0"
