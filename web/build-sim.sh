#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# chainball-sim for node with Debian's emscripten: BUILD/chainball-sim.js and
# .wasm, and BUILD/chainball-sim, a wrapper that runs it with node. The
# same sources and float flags as the native build; no ENet (web/transport_none.cpp).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/build-web}
mkdir -p "$out/include"
# emcc drops /usr/include: the header-only libraries and SDL 1.2's key
# names (config.cpp) get a folder of their own.
for lib in CLI toml++ SDL; do ln -sfn "/usr/include/$lib" "$out/include/$lib"; done
src=$here/src
sources=("$src"/base/*.cpp "$src"/core/*.cpp "$src"/track/*.cpp "$src"/race/*.cpp "$src"/replay/*.cpp
         "$src"/config/*.cpp "$src"/sim/*.cpp "$here/web/transport_none.cpp")
for f in "$src"/net/*.cpp; do [ "$(basename "$f")" = transport.cpp ] || sources+=("$f"); done
version=$(sed -n 's/^project(chainball VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
# Debian's emcc finds acorn there; node 20 needs synchronous compilation.
NODE_PATH=/usr/share/nodejs em++ -O2 -std=c++17 -ffp-contract=off -fno-fast-math -fexceptions \
  -DCHAINBALL_VERSION="\"$version\"" -I"$src" -I"$out/include" "${sources[@]}" \
  -sWASM_ASYNC_COMPILATION=0 -sNODERAWFS=1 -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1 \
  -o "$out/chainball-sim.js"
printf '#!/bin/sh\nexec node "%s/chainball-sim.js" "$@"\n' "$out" > "$out/chainball-sim"
chmod +x "$out/chainball-sim"
echo "built $out/chainball-sim.js"
