#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# make package, twice, in two build folders at different paths: the same
# SHA-256 both times; hardening-check and lintian pass (scripts/package-check.sh
# fails otherwise); the package holds no placeholder address and its
# programs sit in /usr/games, where its desktop entry runs them from. Its
# font is a link to the system's copy, whose package it depends on, and the
# packaged kit and game, run from /, find the packaged data folder.
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

font=$SCRATCH/unpacked/usr/share/chainball/filut/VeraMoBd.ttf
[ -L "$font" ] || fail "the package carries its own font instead of a link to the system's"
system_font=$(realpath -m "/usr/share/chainball/filut/$(readlink "$font")")
font_package=$(dpkg-query -S "$system_font" 2>/dev/null | cut -d: -f1) || fail "the font link leads to $system_font, which no package holds"
dpkg-deb -f "$deb" Depends | tr ',' '\n' | grep -qx " *$font_package" ||
  fail "the package does not depend on $font_package, which holds its font: $(dpkg-deb -f "$deb" Depends)"
# The link resolves inside the unpacked tree as the dependency makes it
# resolve on an installed system.
mkdir -p "$(dirname "$SCRATCH/unpacked$system_font")"
ln -s "$(dirname "$system_font")"/* "$(dirname "$SCRATCH/unpacked$system_font")/"
cd /
KIT=$SCRATCH/unpacked/usr/games/chainball-track
TRACK=$SCRATCH/unpacked/usr/share/chainball/filut/levelit/Serpent.txt
out=$("$KIT" check "$TRACK" 2>&1) || fail "the packaged kit's check exited $?: $out"
out=$("$KIT" stats "$TRACK" 2>&1) && [[ "$out" == *"computer lap"* ]] || fail "the packaged kit's stats: $out"
out=$("$KIT" render -o "$SCRATCH/serpent.png" "$TRACK" 2>&1) && [ -s "$SCRATCH/serpent.png" ] ||
  fail "the packaged kit's render: $out"
status=0
SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 3 "$SCRATCH/unpacked/usr/games/chainball" >"$SCRATCH/game.log" 2>&1 || status=$?
[ "$status" = 124 ] || fail "the packaged game exited with $status: $(cat "$SCRATCH/game.log")"
echo "package: the same SHA-256 $one from two folders; hardening-check and lintian pass"
