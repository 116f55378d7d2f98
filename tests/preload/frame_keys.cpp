// SPDX-License-Identifier: GPL-3.0-or-later
// Preloaded into the built game by window checks (LD_PRELOAD), never linked
// into it: holds the keys of a key script ($CHAINBALL_FRAME_KEYS, lines
// "COUNT KEY..." with UP DOWN LEFT RIGHT) one step per race frame, on top of
// the keys really held, so a race in a real window is driven exactly as a
// replay of the same keys would be. The race frame reads the held keys once
// a frame, through SDL_GetKeyState.
#include <SDL/SDL.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
struct run { long count; int keys; };
std::vector<run> script;
size_t at = 0;
long used = 0;

void load() {
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    const char* path = std::getenv("CHAINBALL_FRAME_KEYS");
    FILE* f = path ? std::fopen(path, "r") : nullptr;
    if (!f) return;
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
        run r = {std::strtol(line, nullptr, 10), 0};
        if (std::strstr(line, "UP")) r.keys |= 1;
        if (std::strstr(line, "DOWN")) r.keys |= 2;
        if (std::strstr(line, "LEFT")) r.keys |= 4;
        if (std::strstr(line, "RIGHT")) r.keys |= 8;
        if (r.count > 0) script.push_back(r);
    }
    std::fclose(f);
}
}  // namespace

extern "C" Uint8* SDL_GetKeyState(int* numkeys) {
    using fn = Uint8* (*)(int*);
    static fn real = reinterpret_cast<fn>(dlsym(RTLD_NEXT, "SDL_GetKeyState"));
    static Uint8 held[SDLK_LAST];
    load();
    Uint8* keys = real(numkeys);
    // SDL calls it too (on keymap and focus events): only the game's own
    // call, once a race frame, takes a step of the script.
    Dl_info caller;
    static Dl_info self;
    static const bool found_self = dladdr(reinterpret_cast<void*>(&load), &self) != 0;
    if (!found_self || !dladdr(__builtin_return_address(0), &caller) ||
        std::strstr(caller.dli_fname, "libSDL") != nullptr)
        return keys;
    std::memcpy(held, keys, sizeof held);
    if (at < script.size()) {
        const int k = script[at].keys;
        held[SDLK_UP] |= (k & 1) != 0;
        held[SDLK_DOWN] |= (k & 2) != 0;
        held[SDLK_LEFT] |= (k & 4) != 0;
        held[SDLK_RIGHT] |= (k & 8) != 0;
        if (++used >= script[at].count) at++, used = 0;
    }
    return held;
}
