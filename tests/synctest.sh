#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# chainball-sim --synctest on every shipped track, rolling back 1 to 8
# steps after every step: each state run again must equal the first run.
# Odd depths race two players on the random keys with the Expert drivers,
# even ones one player on the driving keys, racer 2 a Good computer driver.
set -u
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
sim=$build/chainball-sim
keys=$here/data/sim
failed=0 passed=0
for track in "$here"/../filut/levelit/*.txt; do
  [ "$(basename "$track")" = all_levels.txt ] && continue
  for n in 1 2 3 4 5 6 7 8; do
    if [ $((n % 2)) = 1 ]; then
      args=(--two-player --keys "$keys/random.keys" --difficulty expert --lengths 7,5,6)
    else
      args=(--keys "$keys/drive.keys" --difficulty good --lengths 10,10,10 --off-road slow)
    fi
    if "$sim" --synctest "$n" "${args[@]}" --laps 1 --steps 2500 "$track" > /dev/null; then
      passed=$((passed + 1))
    else
      failed=$((failed + 1))
    fi
  done
done
echo "synctest: $passed passed, $failed failed"
[ "$failed" = 0 ] && [ "$passed" -gt 0 ]
