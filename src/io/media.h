// SPDX-License-Identifier: GPL-3.0-or-later
// The fonts and the music: opened once at start-up by the shell and closed
// at shut-down, so each lives for the whole run.
#pragma once

#include <SDL/SDL_mixer.h>
#include <SDL/SDL_ttf.h>

extern TTF_Font* small_font;       // 12
extern TTF_Font* large_font;       // 36
extern Mix_Chunk* music_chunk;     // filut/musa.ogg, null when it cannot be played
