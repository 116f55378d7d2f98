// SPDX-License-Identifier: GPL-3.0-or-later
// The tile pieces cut from the atlas, and the drawing of the grid into a
// view. The pieces are made once at start-up and live for the whole run.
#pragma once

#include <SDL/SDL.h>

#include "track/track.h"

// Tile pieces 0..11 cut from filut/set.png.
extern SDL_Surface* tile_pieces[12];
// The full game's wide road pieces (WIDE_*), from below those; null when the
// atlas has no room for them.
extern SDL_Surface* wide_pieces[WIDE_PIECES];
void cut_atlas(SDL_Surface* atlas);   // frees the atlas
void free_tile_pieces();

// How many cells across and down the picture of a cell with tile code
// `code` reaches from its top-left corner (the finish's 100 x 50 picture
// included); 0 x 0 for a code without a picture of its own.
void cell_footprint(int code, int& cols, int& rows);

// How the full game mirrors the cell at (x, y): bit 1 across, bit 2 down
// (grass either way, straight road along its length); 0 in the classic game.
int cell_flip(const Track& track, int x, int y);

// Draws the grid of `track` into `view`, shifted by the camera offset; the
// full game draws its wide roads over it.
void draw_track_view(SDL_Surface* view, const Track& track, int cam_x, int cam_y);
