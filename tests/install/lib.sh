# Shared by the install checks: installs the build into a scratch DESTDIR
# with prefix /usr, as a package would lay it out.
# Usage: source lib.sh BUILD_DIR; then install_stage sets STAGE.
#
# It installs the "Unspecified" component (every file of the game), so CMake
# writes install_manifest_Unspecified.txt and leaves install_manifest.txt,
# which `make uninstall` reads after a real install, alone.
set -u
BUILD_DIR=$(cd "$1" && pwd)
SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
MANIFEST="$BUILD_DIR/install_manifest_Unspecified.txt"

fail() { echo "FAIL: $*"; exit 1; }

install_stage() {
  STAGE=$(mktemp -d)
  DESTDIR="$STAGE" cmake --install "$BUILD_DIR" --prefix /usr --component Unspecified >"$STAGE.log" 2>&1 ||
    { cat "$STAGE.log"; fail "cmake --install"; }
  rm -f "$STAGE.log"
  GAME="$STAGE/usr/bin/chainball"
}
