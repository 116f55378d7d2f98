#!/usr/bin/env bash
# Start-up to shut-down under valgrind in a real window: a race, the settings,
# then quit. The game must lose no memory, and nothing of ours may still be
# allocated at exit.
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
WINDOW_WAIT=600 start_game "$wrapper"
sleep 3
key Return          # a one-player race
sleep 12            # countdown and a few frames, slowly under valgrind
key Escape          # back to the menu
sleep 3
key Down Down Return
sleep 3
key Right Escape    # settings, then back
sleep 3
key Escape          # quit
wait_exit 120 || exit 1
/usr/bin/python3 "$(dirname "$0")/valgrind_check.py" "$log" "$(cd "$(dirname "$0")/../../src" && pwd)"
