// SPDX-License-Identifier: GPL-3.0-or-later
// The web's SDL has no SDL_keysym.h: SDL 1.2's key numbers, as everywhere
// in the web game.
#include "web/sdl12_keys.h"
