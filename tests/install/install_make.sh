#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# make install and make uninstall refuse before doing anything, in one line
# of their own: an uninstall in a fresh clone (no build folder) and an
# install under a relative PREFIX, which builds nothing first.
source "$(dirname "$0")/lib.sh" "$1"
trap 'rm -rf "$SCRATCH"' EXIT
clone="$SCRATCH/clone"
mkdir -p "$clone/scripts" "$SCRATCH/bin"
cp "$SOURCE_DIR/Makefile" "$clone/"
cp "$SOURCE_DIR"/scripts/* "$clone/scripts/"
# Anything that would build leaves a mark.
for tool in cmake apt-get sudo; do
  printf '#!/bin/sh\ntouch "%s/built"\n' "$SCRATCH" >"$SCRATCH/bin/$tool"
  chmod +x "$SCRATCH/bin/$tool"
done
unset CHAINBALL_INSTALL_RECORDS
# Run from `make test` too, so the outer make's level and flags stay out.
run_make() { (cd "$clone" && env -u MAKELEVEL -u MAKEFLAGS -u MFLAGS PATH="$SCRATCH/bin:$PATH" \
  make --no-print-directory "$@" >"$SCRATCH/out" 2>"$SCRATCH/err"); }

run_make uninstall && fail "make uninstall in a fresh clone succeeded"
grep -q "^install-tree: nothing was installed from this build for DESTDIR '' and prefix /usr/local; nothing removed$" "$SCRATCH/err" ||
  fail "make uninstall in a fresh clone said: $(cat "$SCRATCH/err")"
[ "$(grep -Evc '^make(\[[0-9]+\])?: \*\*\*' "$SCRATCH/err")" -eq 1 ] || fail "make uninstall said more than one line: $(cat "$SCRATCH/err")"
[ ! -e "$clone/build" ] || fail "make uninstall made a build folder"

run_make install PREFIX=relative/place && fail "make install under a relative PREFIX succeeded"
grep -q "^install-tree: PREFIX must be an absolute path, not 'relative/place'$" "$SCRATCH/err" ||
  fail "make install PREFIX=relative/place said: $(cat "$SCRATCH/err")"
[ ! -e "$SCRATCH/built" ] && [ ! -e "$clone/build" ] && [ ! -e "$clone/relative" ] ||
  fail "make install PREFIX=relative/place built or wrote something before refusing"
echo "make uninstall in a fresh clone and make install under a relative PREFIX: one line, nothing done"
