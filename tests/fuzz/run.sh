#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one fuzz target for a while from its seed corpus (libFuzzer, built
# by `make fuzz-build`), or, with --seeds, the target's build without
# libFuzzer over the same seeds and fixed alterations of them (the test
# suite's sanitized build, tests/fuzz/seeds_main.cpp).
# Usage: run.sh FUZZ_BUILD_DIR TARGET SECONDS
#        run.sh --seeds BUILD_DIR TARGET
set -eu
seeds_only=false
if [ "$1" = --seeds ]; then seeds_only=true; shift; fi
build=$(cd "$1" && pwd)
target=$2
seconds=${3:-0}
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
if $seeds_only; then
  binary="$build/fuzz_seeds_$target"
  [ -x "$binary" ] || { echo "no $binary: build the test suite with its sanitized build"; exit 1; }
else
  binary="$build/fuzz_$target"
  [ -x "$binary" ] || { echo "no $binary: build it with 'make fuzz-build'"; exit 1; }
  corpus="$build/corpus-$target"
  mkdir -p "$corpus"
fi
seed=$(mktemp -d)
trap 'rm -rf "$seed"' EXIT
case "$target" in
  catalogue)
    cp "$top/filut/levelit/all_levels.txt" "$seed/shipped"
    cp "$here"/seeds/catalogue-* "$seed/" 2>/dev/null || true
    ;;
  replay)
    cp "$top"/tests/data/replays/*.cbreplay "$seed/"
    cp "$here"/seeds/replay-* "$seed/" 2>/dev/null || true
    ;;
  net_messages)
    # One message of each kind, written by the encoder.
    cp "$here"/seeds/net-* "$seed/"
    ;;
  config)
    printf '[race]\nlengths = [7, 2, 5]\nlaps = 3\ntrack = "FirstLoop"\nmusic = true\ndifficulty = "good"\nghosts = false\n[window]\nscale = 2\nfullscreen = false\n[keys]\npause = "ctrl+p"\n[keys.player1]\nforward = "up"\nback = "down"\nleft = "[4]"\nright = "button 3"\n[keys.player2]\nforward = "w"\n[pad]\nchoose = 0\nback = 1\nstart = "auto"\n[recording]\non = true\nkeep = 20\n' > "$seed/full"
    cp "$here"/seeds/config-* "$seed/" 2>/dev/null || true
    ;;
  records)
    cp "$here"/seeds/records/* "$seed/"
    ;;
  cups)
    # The first byte picks the reader: 0 the cup file, 1 a saved cup, 2 the records.
    { printf '0'; cat "$top/filut/cups.toml"; } > "$seed/file"
    printf '1cup = "Meadow Cup"\ntracks = ["FirstLoop", "StepDown"]\nlengths = [7, 2, 5]\nlaps = 3\ntwo_players = false\ndifficulty = 1\noff_road = 0\n[[race]]\nplaces = [3, 1, 2]\nfinished = [0, 900, 950]\n' > "$seed/save"
    printf '2[[record]]\ncup = "Meadow Cup"\ndifficulty = 0\nlength = 7\nlaps = 3\nposition = 2\nsteps = 9000\ndate = "2026-12-08 09:00"\n' > "$seed/records"
    ;;
  level_race)
    # Six set-up bytes (mode and laps, three lengths, key seed), then the level.
    i=0
    for level in "$top"/filut/levelit/*.txt "$here"/seeds/level-*; do
      [ "$(basename "$level")" = all_levels.txt ] && continue
      { printf "\\$(printf %03o $((i % 8)))\\007\\002\\005\\$(printf %03o $((i * 37 % 256)))\\001"; cat "$level"; } > "$seed/$i"
      i=$((i + 1))
    done
    ;;
esac

cd "$build"
if $seeds_only; then
  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 "$binary" "$seed" || { echo "fuzz_seeds_$target failed"; exit 1; }
  exit 0
fi
log="$build/fuzz-$target.log"
set +e
"$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
  -artifact_prefix="$build/crash-$target-" "$corpus" "$seed" >"$log" 2>&1
status=$?
set -e
grep -E '^stat::number_of_executed_units|^stat::new_units_added|^Done ' "$log" || true
# The replay reader once more on a seed as large as a replay may be: 16
# million one-step key lines under a keys line of a day's racing.
if [ $status -eq 0 ] && [ "$target" = replay ]; then
  big=$(mktemp -d)
  {
    printf 'chainball-replay 1\ntrack Straight %064d\nplayers 1\nlengths 3 0 0\nlaps 1\n' 0
    printf 'carried 0 0 0 0.899999976\nslowing 0\npictures 3 0 1 0\nkeys 4320000\n'
    yes 1 | head -n 16700000
  } >"$big/large"
  "$binary" -max_len=33554432 -runs=20 -timeout=60 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$build/crash-$target-large-" "$big" >>"$log" 2>&1
  status=$?
  rm -rf "$big"
  grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$log" | tail -n 2 || true
fi
if [ $status -ne 0 ]; then
  tail -n 60 "$log"
  echo "fuzz_$target failed (status $status)"
  exit 1
fi
echo "fuzz_$target: no crash, hang or sanitizer report in $seconds s"
