// SPDX-License-Identifier: GPL-3.0-or-later
// The surfaces, fonts and music every screen shares.
#include "io/assets.h"
#include "io/media.h"

// All for the whole run: made by start-up, freed by shut-down.
SDL_Surface* screen = nullptr;   // replaced at every change of window size
SDL_Surface* second_view = nullptr;
SDL_Surface* frozen_frame = nullptr;
SDL_Surface* lap_bar = nullptr;
SDL_Surface* finish_image = nullptr;
SDL_Surface* marker_idle = nullptr;
SDL_Surface* marker_lit = nullptr;
SDL_Surface* logo = nullptr;
TTF_Font* small_font = nullptr;
TTF_Font* large_font = nullptr;
Mix_Chunk* music_chunk = nullptr;
