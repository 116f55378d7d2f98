#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# make package, twice, in two build folders at different paths: the same
# SHA-256 both times; hardening-check and lintian pass (scripts/package-check.sh
# fails otherwise); the package holds no placeholder address and its
# programs sit in /usr/games, where its desktop entry runs them from.
source "$(dirname "$0")/lib.sh" "$1"
trap 'rm -rf "$SCRATCH"' EXIT
bash "$SOURCE_DIR/scripts/package-check.sh" "$SCRATCH/first" >"$SCRATCH/first.log" 2>&1 ||
  { cat "$SCRATCH/first.log"; fail "package-check"; }
bash "$SOURCE_DIR/scripts/package-check.sh" --build-only "$SCRATCH/second/elsewhere" >"$SCRATCH/second.log" 2>&1 ||
  { cat "$SCRATCH/second.log"; fail "the second package build"; }
one=$(sha256sum "$SCRATCH"/first/chainball_*.deb | cut -d' ' -f1)
two=$(sha256sum "$SCRATCH"/second/elsewhere/chainball_*.deb | cut -d' ' -f1)
[ "$one" = "$two" ] || fail "two builds of one commit differ: $one and $two"

deb=$(ls "$SCRATCH"/first/chainball_*.deb)
dpkg-deb -x "$deb" "$SCRATCH/unpacked"
dpkg-deb -e "$deb" "$SCRATCH/unpacked/DEBIAN"
placeholder=$(grep -rlaiE 'example\.(org|com|net)' "$SCRATCH/unpacked" || true)
[ -z "$placeholder" ] || fail "placeholder addresses in: $placeholder"
grep -q '^Homepage:' "$SCRATCH/unpacked/DEBIAN/control" && fail "a Homepage field with no home page"
exec_line=$(sed -n 's/^Exec=//p' "$SCRATCH"/unpacked/usr/share/applications/*.desktop | head -n1)
[ "$exec_line" = "/usr/games/chainball --extras" ] && [ -x "$SCRATCH/unpacked/usr/games/chainball" ] ||
  fail "the package's desktop entry runs '$exec_line'"
echo "package: the same SHA-256 $one from two folders; hardening-check and lintian pass"
