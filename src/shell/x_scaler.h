// SPDX-License-Identifier: GPL-3.0-or-later
// Enlarging on the display's side: on an X display with the RENDER and
// MIT-SHM extensions, the picture at 1:1 lives in memory shared with the X
// server, and the server copies the changed rows into the window enlarged
// (a scaled copy with nearest-pixel sampling: each pixel a block, exactly
// as our own enlarging makes it). The game then writes a picture's worth of
// pixels a frame, not scale x scale times that. Owns the shared picture and
// the server's handles to it, for as long as the window is open. Anywhere
// else (no X, no extension, the dummy driver) it says no and the window
// enlarges by itself.
#pragma once

#include <SDL/SDL.h>

// For the window SDL has just opened: a w x h surface to draw into, shown
// at scale `s` with its top-left corner at (x, y) of the window. Null when
// the display cannot do it.
SDL_Surface* x_scaler_open(int w, int h, int s, int x, int y);

// Rows first..last-1 of the picture into the window, enlarged. The last
// call of a frame has `frame_done` set: it waits until the server has
// taken the rows, so the next frame may draw over them.
void x_scaler_send(int first, int last, bool frame_done);

// Gives everything back (the surface from x_scaler_open too).
void x_scaler_close();

bool x_scaler_active();
