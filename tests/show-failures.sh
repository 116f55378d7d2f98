#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# After a failed ctest run: the last lines each failed test printed, so that
# the end of a CI log says why, not only which.
# Usage: show-failures.sh BUILD_DIR [LINES]
dir="$1/Testing/Temporary"
lines=${2:-15}
[ -f "$dir/LastTestsFailed.log" ] || exit 0
while IFS=: read -r _ name; do
  echo "=== $name (last $lines lines)"
  awk -v t="$name" '
    $0 ~ "^[0-9]+/[0-9]+ Testing: " t "$" { inside = 1; next }
    inside && /^<end of output>/ { exit }
    inside && out { print }
    inside && /^Output:/ { getline; out = 1 }' "$dir/LastTest.log" | tail -n "$lines"
done <"$dir/LastTestsFailed.log"
