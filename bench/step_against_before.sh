#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The race step of this tree against the step of the commit before the race
# became a value, as chainball-sim processes (CPU time, paired runs in one
# go with farm-bench): 100 000 steps of three 10-ball racers on GrandLoop,
# the full trace read and dropped by farm-bench. Usage: bench/step_against_before.sh BUILD [COMMIT]
set -eu
build=$(cd "$1" && pwd)
before=${2:-5f3876b}
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
git -C "$here" archive "$before" | tar -x -C "$work"
cmake -S "$work" -B "$work/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCHAINBALL_TESTS=OFF >/dev/null
cmake --build "$work/build" -j2 --target chainball-sim >/dev/null
printf '100000 UP\n' > "$work/keys"
track=$build/filut/levelit/GrandLoop.txt
farm-bench -n 7 --vs "$work/build/chainball-sim --lengths 10,10,10 --laps 1000 --keys $work/keys $track" \
  -- "$build/chainball-sim" --lengths 10,10,10 --laps 1000 --keys "$work/keys" "$track"
