#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package in a build folder of its own and checks it: its
# file list, its control fields, hardening-check and lintian (which fails on
# any error; the warnings kept are listed with their reasons in
# docs/packaging.md).
#   bash scripts/package-check.sh [--build-only] [BUILD_DIR]
# --build-only stops once the .deb is built (make package).
#
# The build takes the distribution's flags from dpkg-buildflags (hardening
# on) and SOURCE_DATE_EPOCH from the last commit, so the same commit gives
# the same bytes; neither changes floating-point code.
# With CHAINBALL_PACKAGE_INSTALL=1 it also installs the package with apt,
# starts the installed game from / (--version, then the game itself on
# SDL's dummy drivers for three seconds), removes it and checks that no
# file of it is left: this changes the machine, so it is asked for.
set -eu
build_only=no
[ "${1:-}" = --build-only ] && { build_only=yes; shift; }
SOURCE=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "${1:-build-package}"
BUILD=$(cd "${1:-build-package}" && pwd)
SOURCE_DATE_EPOCH=$(git -C "$SOURCE" log -1 --format=%ct 2>/dev/null || stat -c %Y "$SOURCE/debian/changelog")
export SOURCE_DATE_EPOCH
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# What Debian 12's dpkg-buildflags does not add yet; as debian/rules does.
export DEB_CXXFLAGS_MAINT_APPEND="-fstack-clash-protection$([ "$(dpkg --print-architecture)" = amd64 ] && echo ' -fcf-protection')"
# From the source folder, so -ffile-prefix-map takes its path out of the
# programs; the build folder's goes the same way (it is in the build ID).
flags() { (cd "$SOURCE" && dpkg-buildflags --get "$1"); }
cmake -S "$SOURCE" -B "$BUILD" -DCMAKE_BUILD_TYPE=None -DCHAINBALL_TESTS=OFF -DCHAINBALL_BENCH=OFF -DCHAINBALL_BINDIR=games -DCHAINBALL_SYSTEM_FONT=ON \
  -DCMAKE_CXX_FLAGS="$(flags CXXFLAGS) $(flags CPPFLAGS) -ffile-prefix-map=$BUILD=." -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" \
  >"$BUILD/configure.log" 2>&1 || { cat "$BUILD/configure.log"; exit 1; }
cmake --build "$BUILD" -j "$(nproc)" >"$BUILD/build.log" 2>&1 || { cat "$BUILD/build.log"; exit 1; }
cd "$BUILD"
rm -f chainball_*.deb
cpack -G DEB >cpack.log 2>&1 || { cat cpack.log; exit 1; }
deb=$(ls chainball_*.deb)
[ "$build_only" = no ] || { echo "$BUILD/$deb"; exit 0; }
echo "== $deb ($(du -k "$deb" | cut -f1) KiB)"
dpkg-deb -f "$deb" Package Version Architecture Section Depends
echo "== contents"
dpkg-deb -c "$deb" | awk '{print $1, $2, $6}' | sed 's| \./| /|'
echo "== hardening-check"
rm -rf unpacked && dpkg-deb -x "$deb" unpacked
# Debian 12's own start-up files (Scrt1.o, crti.o, crtn.o) carry no IBT/SHSTK
# property, so no program linked there can show control-flow integrity.
hardening-check --nocfprotection unpacked/usr/games/* || { echo "hardening-check failed"; exit 1; }
rm -rf unpacked
echo "== lintian"
# No real maintainer address exists yet: the two tags about it stay until
# one does (docs/packaging.md).
lintian --fail-on error,warning --display-level '>=info' \
  --suppress-tags malformed-contact,bogus-mail-host-in-debian-changelog \
  "$deb"
echo "lintian: no error and no warning beyond those listed in docs/packaging.md"

if [ "${CHAINBALL_PACKAGE_INSTALL:-0}" = 1 ]; then
  echo "== apt install, run, apt remove"
  files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print substr($6, 2)}')
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q "./$deb" >apt.log 2>&1 || { cat apt.log; exit 1; }
  # A player's PATH has /usr/games; root's has not.
  (cd / && PATH=$PATH:/usr/games chainball --version)
  # The data is found: the game runs (on SDL's dummy drivers) until stopped.
  status=0
  (cd / && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 3 /usr/games/chainball) || status=$?
  [ "$status" = 124 ] || { echo "the installed game exited with $status"; exit 1; }
  DEBIAN_FRONTEND=noninteractive apt-get remove -y -q chainball >>apt.log 2>&1 || { cat apt.log; exit 1; }
  left=$(for f in $files; do [ -e "$f" ] && echo "$f"; done || true)
  [ -z "$left" ] || { echo "left after apt remove: $left"; exit 1; }
  [ ! -e /usr/share/chainball ] && [ ! -e /usr/share/doc/chainball ] || { echo "folders left after apt remove"; exit 1; }
  echo "installed with apt, ran from /, removed with no file left"
fi
