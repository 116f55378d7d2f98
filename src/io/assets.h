// SPDX-License-Identifier: GPL-3.0-or-later
// The window and the pictures the screens draw with: made once at start-up
// by the shell, freed at shut-down, so each lives for the whole run (the
// window surface is replaced whenever the window changes size). Fonts and
// music are in io/media.h, so code that only draws pictures does not pull
// in SDL_ttf or SDL_mixer.
#pragma once

#include <SDL/SDL.h>

extern SDL_Surface* screen;        // the window
extern SDL_Surface* second_view;   // 400 x 500, player 2's view
extern SDL_Surface* frozen_frame;  // 800 x 500, the picture under the overlays
extern SDL_Surface* lap_bar;       // filut/palkki.png
extern SDL_Surface* finish_image;  // filut/maali.png
extern SDL_Surface* marker_idle;   // filut/donut.png
extern SDL_Surface* marker_lit;    // filut/donut2.png
extern SDL_Surface* logo;          // filut/pp.png
