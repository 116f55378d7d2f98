#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The game for a web page with Debian's emscripten and its SDL 1.2:
# BUILD/game/chainball.js, .wasm and .data (the data folder, preloaded),
# with web/index.html. The same sources and float flags as the native build;
# no ENet (web/transport_none.cpp).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/build-web}
obj=$out/game-obj
inc=$out/game-include
mkdir -p "$inc" "$out/game" "$obj"
# emcc drops /usr/include: the header-only libraries get a folder of their
# own, and SDL 1.2's key numbers another (web/sdl12_keys.h).
for lib in CLI toml++; do ln -sfn "/usr/include/$lib" "$inc/$lib"; done
ln -sfn /usr/include/SDL "$inc/sdl12"
src=$here/src
sources=("$src"/base/*.cpp "$src"/core/*.cpp "$src"/track/*.cpp "$src"/race/*.cpp "$src"/replay/*.cpp
         "$src"/config/*.cpp "$src"/io/*.cpp "$src"/draw/*.cpp "$src"/view/*.cpp "$src"/menu/*.cpp
         "$src"/shell/*.cpp "$here"/web/transport_none.cpp "$here"/web/sdl_missing.cpp "$here"/web/text.cpp)
for f in "$src"/net/*.cpp; do [ "$(basename "$f")" = transport.cpp ] || sources+=("$f"); done
version=$(sed -n 's/^project(chainball VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
flags=(-O2 -std=c++17 -ffp-contract=off -fno-fast-math -fexceptions -sUSE_SDL=1
       -DCHAINBALL_VERSION="\"$version\"" -I"$src" -I"$here" -I"$here/web/include" -I"$inc" -include "$here/web/sdl12_keys.h")
export NODE_PATH=/usr/share/nodejs
# One object per source, rebuilt when the source or a header is newer.
compile() {
  o=$obj/$(echo "${1#$here/}" | tr / _).o
  if [ ! -e "$o" ] || [ -n "$(find "$1" "$src" "$here/web" -newer "$o" -name '*.[ch]*' -print -quit)" ]; then
    em++ "${flags[@]}" -c "$1" -o "$o" || return 1
  fi
  echo "$o"
}
# Our font's glyphs as the desktop game draws them, made natively.
glyphs=$out/game-glyphs
mkdir -p "$glyphs"
c++ -O2 -std=c++17 "$here/web/make_glyphs.cpp" $(pkg-config --cflags --libs SDL_ttf) -o "$out/make_glyphs"
"$out/make_glyphs" "$here/filut/VeraMoBd.ttf" "$glyphs" 12 36
objects=()
for s in "${sources[@]}"; do objects+=("$(compile "$s")") || exit 1; done
em++ "${flags[@]}" "${objects[@]}" -sASYNCIFY -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1 \
  -sWASM_ASYNC_COMPILATION=1 -sSTB_IMAGE=1 -lidbfs.js --use-preload-plugins --preload-file "$here/filut@/filut" --preload-file "$glyphs@/glyphs" -o "$out/game/chainball.js"
cp "$here/web/index.html" "$out/game/index.html"
echo "built $out/game"
