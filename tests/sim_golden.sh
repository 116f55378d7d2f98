#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# chainball-sim must print the same bytes as the day the golden list was
# written, on every track of tests/data/sim/tracks in both modes with a few
# key scripts. Run with --write to make the list anew (only when a change of
# the race rules is meant).
set -eu
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
data=$here/data/sim
golden=$data/golden.sha256
sim=$build/chainball-sim

cases() {
  for track in "$data"/tracks/*.txt; do
    for mode in one two; do
      for script in none drive random; do
        echo "$(basename "$track" .txt) $mode $script"
      done
    done
  done
}

run_case() {   # track mode script
  local args=(--steps 1500)
  [ "$2" = two ] && args+=(--two-player)
  case "$3" in
    none) args+=(--laps 1 --seed 3) ;;
    drive) args+=(--keys "$data/drive.keys" --lengths 10,10,10) ;;
    random) args+=(--keys "$data/random.keys" --lengths 4,0,10 --laps 2 --seed 99) ;;
  esac
  "$sim" "${args[@]}" "$data/tracks/$1.txt" | sha256sum | cut -d' ' -f1
}

if [ "${2:-}" = --write ]; then
  cases | while read -r t m s; do echo "$(run_case "$t" "$m" "$s") $t $m $s"; done > "$golden"
  echo "wrote $(wc -l < "$golden") cases to $golden"
  exit 0
fi

fail=0
n=0
while read -r sum t m s; do
  n=$((n + 1))
  got=$(run_case "$t" "$m" "$s")
  if [ "$got" != "$sum" ]; then
    echo "FAIL: $t $m $s: output changed ($got, golden $sum)"
    fail=1
  fi
done < "$golden"
[ "$n" -ge 54 ] || { echo "FAIL: only $n golden cases"; exit 1; }
[ $fail = 0 ] && echo "sim output identical on $n cases"
exit $fail
