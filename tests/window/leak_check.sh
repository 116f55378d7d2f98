#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Start-up to shut-down under valgrind in a real window: a race, the settings,
# then quit. The game must lose no memory, and nothing of ours may still be
# allocated at exit. Valgrind slows the game down many times over, and by how
# much depends on the machine, so every key waits for the screen it is meant
# for instead of for a fixed time.
source "$(dirname "$0")/lib.sh" "$1"
command -v valgrind >/dev/null || { echo "valgrind is missing (run scripts/install-deps)"; exit 1; }
start_x
log="$ARTIFACTS/valgrind.log"
wrapper="$ARTIFACTS/valgrind-chainball.sh"
cat > "$wrapper" <<WRAP
#!/usr/bin/env bash
exec valgrind --suppressions="$(cd "$(dirname "$0")" && pwd)/valgrind.supp" --leak-check=full --show-leak-kinds=all --num-callers=40 --log-file="$log" "$BUILD_DIR/chainball"
WRAP
chmod +x "$wrapper"

# Button N (0 at the top) is highlighted.
lit() {   # lit N FILE
  [ "$(pixel "$2" 300 $((160 + 30 * $1)))" = "$LIT" ]
}
not_lit() { ! lit "$@"; }
# The settings screen's black help line under the title.
settings_showing() {   # settings_showing FILE
  [ "$(convert "$ARTIFACTS/$1" -crop 380x14+95+100 +repage -fill white +opaque black \
        -negate -format '%[fx:round(mean*w*h)]' info:)" -gt 100 ]
}
menu_on() {   # menu_on N FILE: the main menu with button N highlighted
  lit "$1" "$2" && ! settings_showing "$2"
}
fail() {
  echo "$1"
  echo "--- game output"; tail -n 20 "$ARTIFACTS/game.out"
  echo "--- valgrind log"; tail -n 20 "$log"
  exit 1
}

WINDOW_WAIT=1200 start_game "$wrapper"
wait_until 120 "main menu" menu_on 0 || fail "the menu did not show"
key Return                                   # a one-player race
wait_until 120 "race" not_lit 0 || fail "Return on the menu started no race"
sleep 6                                      # the countdown and a few race frames
key Escape                                   # back to the menu
wait_until 120 "menu after the race" menu_on 0 || fail "Escape did not leave the race"
key Down Down
wait_until 60 "cursor on \"Settings\"" menu_on 2 || fail "Down did not move the cursor"
key Return
wait_until 60 "settings" settings_showing || fail "Return on \"Settings\" did not open them"
key Right Escape                             # change a value, then back
wait_until 60 "menu after the settings" menu_on 2 || fail "Escape did not leave the settings"
key Escape                                   # quit
wait_exit 120 || fail "the game did not quit with status 0"
/usr/bin/python3 "$(dirname "$0")/valgrind_check.py" "$log" "$(cd "$(dirname "$0")/../../src" && pwd)"
