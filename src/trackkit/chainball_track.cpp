// SPDX-License-Identifier: GPL-3.0-or-later
// chainball-track's entry point: the kit on SDL's dummy video driver.
#include <SDL/SDL.h>

#include <cstdio>
#include <cstdlib>

#include "trackkit/trackkit.h"

int main(int argc, char** argv) {
    // The kit never opens a window: it draws into surfaces of its own, so
    // it holds SDL to the dummy driver for this process alone.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "chainball-track: cannot start SDL: %s\n", SDL_GetError());
        return 2;
    }
    const int status = track_kit_main(argc, argv, stdout, stderr);
    SDL_Quit();
    return status;
}
