#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The node build of chainball-sim (web/build-sim.sh) prints the same bytes
# as the native one: the golden runs; every test track with the Good and
# Expert drivers, slow off-road, and a rollback synctest; a race of
# 100000 steps; the shipped replays (output, errors and exit status). And
# hosting an online race there fails with one line.
# Usage: web_sim.sh NATIVE_BUILD WEB_BUILD
# Exits 77 (skipped) when WEB_BUILD has no build: `make web` makes it.
set -eu
if [ ! -x "$2/chainball-sim" ]; then
  echo "web_sim: skipped: no web build in $2 (make web)"
  exit 77
fi
native=$(cd "$1" && pwd)/chainball-sim
web_build=$(cd "$2" && pwd)
web=$web_build/chainball-sim
here=$(cd "$(dirname "$0")" && pwd)
data=$here/data/sim
bash "$here/sim_golden.sh" "$web_build"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
same=0 differ=0
compare() {   # name, then the arguments both builds get
  local name=$1; shift
  local a=0 b=0
  "$native" "$@" > "$work/native.out" 2> "$work/native.err" || a=$?
  "$web" "$@" > "$work/web.out" 2> "$work/web.err" || b=$?
  if [ "$a" != 0 ]; then
    differ=$((differ + 1))
    echo "native build failed: $name: $(head -1 "$work/native.err")"
  elif [ "$a" = "$b" ] && cmp -s "$work/native.out" "$work/web.out" && cmp -s "$work/native.err" "$work/web.err"; then
    same=$((same + 1))
  else
    differ=$((differ + 1))
    echo "differs: $name (exit $a native, $b web)"
  fi
}
for track in "$data"/tracks/*.txt; do
  name=$(basename "$track" .txt)
  for level in good expert; do
    compare "$name $level" --steps 1500 --difficulty "$level" --off-road slow --lengths 7,7,7 \
      --keys "$data/random.keys" --seed 5 "$track"
  done
  compare "$name two players" --steps 1500 --two-player --lengths 1,1,1 --keys "$data/drive.keys" "$track"
  compare "$name synctest" --synctest 8 --steps 600 --lengths 10,10,10 --keys "$data/random.keys" "$track"
done
first=$(ls "$data"/tracks/*.txt | head -1)
compare "100000 steps" --steps 100000 --lengths 10,10,10 --keys "$data/random.keys" "$first"
replays=$here/data/replays
compare "shipped straight replay" --replay "$replays/straight-one-player.cbreplay" --track "$replays/Straight.txt"
compare "shipped column replay" --replay "$replays/column-two-laps.cbreplay" --track "$replays/Column.txt"
# No online races there: one line and a failure, never a hang.
status=0
timeout 20 "$web" --net-host 40123 "$first" > /dev/null 2> "$work/web.err" || status=$?
if [ "$status" = 4 ] && grep -q 'online races are not in the web build' "$work/web.err"; then
  same=$((same + 1))
else
  differ=$((differ + 1))
  echo "web build hosting: exit $status, $(head -1 "$work/web.err")"
fi
echo "other runs: $same identical, $differ differ"
echo "$same passed, $differ failed"
[ "$differ" = 0 ]
