#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The installed game in a real window: started from / (as a desktop menu
# does), it finds its data, shows its menu, its window's class is the one
# the desktop entry names, and Down three times then Return (on "Quit") end
# it with status 0.
INSTALL_LIB="$(dirname "$0")/lib.sh"
source "$(dirname "$0")/../window/lib.sh" "$1"
source "$INSTALL_LIB" "$1"
install_stage
trap 'stop_x; rm -rf "$SCRATCH"' EXIT
start_x
cd /
start_game "$GAME"
sleep 1
shot installed-menu.png
n=$(colours_in installed-menu.png 500x500+0+0)
[ "$n" -gt 50 ] || fail "the installed game's menu looks flat ($n colours)"
# SDL names the window's class after the program: the menu ties the window
# to its entry by it.
class=$(xprop -id "$WIN" WM_CLASS)
want=$(sed -n 's/^StartupWMClass=//p' "$STAGE"/usr/share/applications/*.desktop)
[ -n "$want" ] && [ "$class" = "WM_CLASS(STRING) = \"$want\", \"$want\"" ] ||
  fail "the window's class is $class, the desktop entry's StartupWMClass '$want'"
key Down Down Down Return
wait_exit 10 || fail "the installed game did not quit with status 0"
echo "the installed game ran from / and quit with status 0 (menu had $n colours)"
