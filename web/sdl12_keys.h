// SPDX-License-Identifier: GPL-3.0-or-later
// Included first in every source of the web game. The web's SDL headers
// number keys as SDL 2 does (SDLK_LAST is 0x40000200, too many for arrays
// sized by it); the game keeps SDL 1.2's numbers, so the bindings and the
// settings file's key names mean the same. io/events.cpp translates the
// browser's keys to them where they come in (io/web_keys.cpp).
#pragma once
#include <SDL/SDL_stdinc.h>
#include <SDL/SDL_scancode.h>
#define _SDL_keycode_h
#include <sdl12/SDL_keysym.h>
typedef Sint32 SDL_Keycode;
typedef SDLMod SDL_Keymod;
#include <SDL/SDL.h>
// Its aliases of SDL 1.2's names would point at SDL 2's numbers.
#undef SDLK_KP0
#undef SDLK_KP1
#undef SDLK_KP2
#undef SDLK_KP3
#undef SDLK_KP4
#undef SDLK_KP5
#undef SDLK_KP6
#undef SDLK_KP7
#undef SDLK_KP8
#undef SDLK_KP9
#undef SDLK_NUMLOCK
#undef SDLK_SCROLLOCK
#undef SDLK_PRINT
#undef SDLK_LMETA
#undef SDLK_RMETA
#undef SDLK_LSUPER
#undef SDLK_RSUPER
#undef SDLK_COMPOSE
#undef SDLK_BREAK
#undef SDLK_EURO
#undef KMOD_LMETA
#undef KMOD_RMETA
#undef KMOD_META
#define KMOD_META (KMOD_LMETA | KMOD_RMETA)
