# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the install checks: installs the build into a scratch DESTDIR
# with prefix /usr, as a package would lay it out, through the same script
# as make install, its record kept in scratch space too.
# Usage: source lib.sh BUILD_DIR; then install_stage sets STAGE and GAME.
set -u
BUILD_DIR=$(cd "$1" && pwd)
SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
SCRATCH=$(mktemp -d)
export CHAINBALL_INSTALL_RECORDS="$SCRATCH/records"

fail() { echo "FAIL: $*"; exit 1; }

# tree DIR: every path under DIR with its kind and, for files, its bytes'
# checksum, to compare a tree before and after.
tree() {
  (cd "$1" && find . -printf '%y %p\n' | sort | while read -r kind path; do
    if [ "$kind" = f ]; then echo "f $path $(sha256sum <"$path" | cut -c1-16)"; else echo "$kind $path"; fi
  done)
}

# install_to DESTDIR / uninstall_from DESTDIR: make install and make
# uninstall with PREFIX=/usr, their output in $SCRATCH/log.
install_to() {
  DESTDIR="$1" bash "$SOURCE_DIR/scripts/install-tree" install "$BUILD_DIR" /usr >"$SCRATCH/log" 2>&1 ||
    { cat "$SCRATCH/log"; fail "install into $1"; }
}
uninstall_from() {
  DESTDIR="$1" bash "$SOURCE_DIR/scripts/install-tree" uninstall "$BUILD_DIR" /usr >"$SCRATCH/log" 2>&1
}

install_stage() {
  STAGE="$SCRATCH/stage"
  install_to "$STAGE"
  GAME="$STAGE/usr/bin/chainball"
}
