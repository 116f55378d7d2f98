// SPDX-License-Identifier: GPL-3.0-or-later
// The browser's key numbers (SDL's for the web: a character's code, or 1024
// plus the key's scan code) as SDL 1.2's, which the game uses throughout.
#pragma once
#include <SDL/SDL.h>

// SDL 1.2's number of the web's key `code`; SDLK_UNKNOWN for one it lacks.
SDLKey key_from_web(int code);

#ifdef __EMSCRIPTEN__
// The held keys by SDL 1.2's numbers (SDLK_LAST entries), from the web's
// state array; valid until the next call.
const Uint8* web_key_state();
#endif
