#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# cppcheck over src/: any finding fails, but for the kinds we keep on purpose:
#   useStlAlgorithm: the game is plain procedural code, and short counted
#   loops over fixed arrays read better to us than algorithm calls.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
command -v cppcheck >/dev/null || { echo "cppcheck is missing (run scripts/install-deps)"; exit 1; }
out=$(cppcheck --enable=warning,style,performance,portability --std=c++17 --inline-suppr \
  --suppress=useStlAlgorithm -I "$top/src" --quiet \
  --error-exitcode=0 "$top/src" 2>&1)
if [ -n "$out" ]; then
  echo "$out"
  echo "cppcheck: findings above"
  exit 1
fi
echo "cppcheck: no findings over src/"
