#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks it: its file
# list, its control fields, and lintian (which fails on any error; the
# warnings kept are listed with their reasons in docs/packaging.md).
#   bash scripts/package-check.sh [--build-only] [BUILD_DIR]
# --build-only stops once the .deb is built (make package).
# With CHAINBALL_PACKAGE_INSTALL=1 it also installs the package with apt,
# starts the installed game from / (--version, then the game itself on
# SDL's dummy drivers for three seconds), removes it and checks that no
# file of it is left: this changes the machine, so it is asked for.
set -eu
build_only=no
[ "${1:-}" = --build-only ] && { build_only=yes; shift; }
BUILD=$(cd "${1:-build}" && pwd)
cd "$BUILD"
rm -f chainball_*.deb
# CPack's install into its staging folder rewrites install_manifest.txt;
# keep the one of a real install, which `make uninstall` reads.
[ ! -f install_manifest.txt ] || mv install_manifest.txt install_manifest.keep
restore_manifest() { [ ! -f install_manifest.keep ] || mv install_manifest.keep install_manifest.txt; }
trap restore_manifest EXIT
rm -f install_manifest.txt
cpack -G DEB >cpack.log 2>&1 || { cat cpack.log; exit 1; }
rm -f install_manifest.txt
deb=$(ls chainball_*.deb)
[ "$build_only" = no ] || { echo "$BUILD/$deb"; exit 0; }
echo "== $deb ($(du -k "$deb" | cut -f1) KiB)"
dpkg-deb -f "$deb" Package Version Architecture Section Depends
echo "== contents"
dpkg-deb -c "$deb" | awk '{print $1, $2, $6}' | sed 's| \./| /|'
echo "== lintian"
lintian --fail-on error --display-level '>=info' "$deb"
echo "lintian: no error"

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
