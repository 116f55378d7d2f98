#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Gamepads in a real window, read by SDL's own joystick driver from virtual
# pads made through /dev/uinput: the menu walked with the d-pad, a race
# driven with button 0, Start pausing and resuming it, button 1 not leaving
# it, and a pad plugged in later found on a return to the main menu.
# Where no virtual pad can be made (no /dev/uinput, no python3-evdev, no
# device nodes), it says why and exits 77, which CTest reports as skipped.
SKIPPED=77
PAD_TOOL="$(dirname "$0")/virtual_pad.py"
if [ ! -c /dev/uinput ] || [ ! -w /dev/uinput ]; then
  echo "skipped: no writable /dev/uinput on this machine, so no virtual pad can be made"
  exit $SKIPPED
fi
if ! /usr/bin/python3 -c 'import evdev' 2>/dev/null; then
  echo "skipped: python3-evdev is not installed (scripts/install-deps installs it)"
  exit $SKIPPED
fi
if ! why=$(/usr/bin/python3 "$PAD_TOOL" check 2>&1); then
  echo "skipped: a virtual pad cannot be made here: $why"
  exit $SKIPPED
fi

source "$(dirname "$0")/lib.sh" "$1"

coproc PAD { /usr/bin/python3 "$PAD_TOOL"; }
pad() {   # pad COMMAND...: one command to the virtual pads, and its answer
  local reply=""
  echo "$*" >&"${PAD[1]}"
  read -r -t 10 reply <&"${PAD[0]}"
  [ "$reply" = ok ] || { echo "virtual pad: $* -> ${reply:-no answer}"; exit 1; }
}
tap() {   # tap PAD BUTTON: pressed and released, a little apart like a person
  pad "$1" press "$2"; sleep 0.15
  pad "$1" release "$2"; sleep 0.15
}
dpad() {  # dpad PAD X Y: one short press of the d-pad
  pad "$1" hat "$2" "$3"; sleep 0.15
  pad "$1" hat 0 0; sleep 0.15
}
same_picture() {   # same_picture A B: the two screenshots' windows match
  cmp -s <(convert "$ARTIFACTS/$1" -crop 500x500+0+0 rgb:-) <(convert "$ARTIFACTS/$2" -crop 500x500+0+0 rgb:-)
}

pad plug 1                       # at start-up: opened with the game
start_x
start_game "$BUILD_DIR/chainball"
sleep 1
shot pad-menu.png
menu_showing pad-menu.png 0 || { echo "no menu"; exit 1; }
dpad 1 0 1
shot pad-menu-down.png
menu_showing pad-menu-down.png 1 || { echo "d-pad down did not move to the second entry"; exit 1; }
dpad 1 0 -1
tap 1 A                          # "Start 1 player"
sleep 4.5                        # the countdown
shot pad-race-start.png
menu_showing pad-race-start.png 0 && { echo "button 0 did not start the race"; exit 1; }
pad 1 press A; sleep 1; pad 1 release A
shot pad-race-moved.png
same_picture pad-race-start.png pad-race-moved.png && { echo "holding button 0 did not drive"; exit 1; }
echo "the d-pad walked the menu and button 0 drove player 1"

tap 1 START
shot pad-paused.png
pad 1 press A; sleep 1; pad 1 release A
shot pad-paused-later.png
same_picture pad-paused.png pad-paused-later.png || { echo "Start did not pause: the race went on"; exit 1; }
tap 1 START
tap 1 B                          # backward in a race, not Escape
pad 1 press A; sleep 1; pad 1 release A
shot pad-resumed.png
same_picture pad-paused-later.png pad-resumed.png && { echo "Start did not resume the race"; exit 1; }
menu_showing pad-resumed.png 0 && { echo "button 1 left the race"; exit 1; }
echo "Start paused and resumed; button 1 stayed in the race"

key Escape
sleep 0.5
pad plug 2                       # not seen until the menu is entered again
dpad 2 0 1
shot pad-unscanned.png
menu_showing pad-unscanned.png 0 || { echo "a pad plugged in after the scan moved the menu"; exit 1; }
dpad 1 0 1; dpad 1 0 1; tap 1 A  # Settings
tap 1 B                          # back to the main menu: a new scan
sleep 0.3
dpad 2 0 1
shot pad-rescanned.png
menu_showing pad-rescanned.png 3 || { echo "the pad plugged in later did not move the menu after the rescan"; exit 1; }
pad 1 unplug
tap 2 B                          # Escape on the main menu: quit
wait_exit 10 || exit 1
echo "a pad plugged in later worked after a return to the menu; button 1 quit with status 0"
