// SPDX-License-Identifier: GPL-3.0-or-later
// The window: the picture size the screens ask for, shown at a whole scale
// in a window or fullscreen. The screens always draw their picture at 1:1
// into `screen`; only the presentation is enlarged. At scale 1 in a window
// `screen` is the window itself, exactly as the game always had it.
#pragma once

#include <SDL/SDL.h>

// Read once from the command line, before start-up: the scale (1 to 4) of a
// windowed picture and whether the game starts fullscreen.
void window_configure(int scale, bool fullscreen);

// A connection to the X display in DISPLAY, opened before SDL starts and
// kept until the window is open. SDL 1.2 opens a connection to ask whether X
// is there and closes it again, and an X server whose only client leaves
// resets, dropping the connection that follows: the game would find no
// display. False when the display cannot be reached.
bool hold_display();
bool display_held();
// Closes it (SDL's own connection keeps the server busy from then on).
void release_display();

// Opens (or reopens) the window for a w x h picture and points `screen` at
// the surface to draw it into: the window itself at scale 1 in a window
// (SDL_SetVideoMode(w, h, 32, SDL_HWSURFACE | SDL_DOUBLEBUF)); otherwise a
// w x h surface in the window's pixel layout, enlarged into the window by
// every present_frame(). Fullscreen takes the largest whole scale that fits
// the display and centres the picture on black.
void open_window(int w, int h);

// show_frame_hook: the picture in `screen` onto the display. At scale 1 in
// a window the window is flipped, every frame. Enlarged or fullscreen, only
// the rows that changed since the last presented frame are sent, and a
// frame in which no row changed sends nothing at all. An X server with
// RENDER and MIT-SHM enlarges them itself (shell/x_scaler.h); elsewhere
// they are enlarged here and sent in bands, through window_output.update.
// True when something was sent.
bool present_frame();

// show_still_frame_hook: a still screen's picture, the one last presented,
// again. Nothing is sent, at every scale and fullscreen, unless the window
// was opened anew since then: the picture then goes as present_frame()
// sends it. When the X server enlarges, the first still pass also enlarges
// the picture into SDL's own copy of the window, from which SDL repaints a
// window that was covered. True when something was sent.
bool present_still_frame();

// True when present_frame() sends only what changed (enlarged or
// fullscreen): a screen whose picture stands still then costs nothing to
// show, however often it is shown.
bool window_presents_changes_only();

// Every call that sends pixels to the display goes through these:
// SDL_Flip and SDL_UpdateRects. A seam for tests that count what is sent.
struct window_calls {
    int (*flip)(SDL_Surface* window);
    void (*update)(SDL_Surface* window, int count, SDL_Rect* rects);
};
extern window_calls window_output;

// presentation_key_hook: F11 toggles fullscreen; true when it was F11.
bool window_key(const SDL_Event& e);

// Fullscreen on or off for the same picture size; `screen` keeps its picture.
void toggle_fullscreen();

// Frees the surface drawn into when it is not the window (at shut-down).
void close_window();

// The surface on the display, and the scale and mode in use now.
SDL_Surface* window_surface();
int window_scale();
bool window_is_fullscreen();

// Copies `from` into `to` with its top-left corner at (x, y), each pixel a
// scale x scale block, rows first..last-1 of `from` only. Both surfaces are
// 32-bit with the same layout, and the enlarged rows fit inside `to`.
void enlarge_rows(SDL_Surface* from, SDL_Surface* to, int scale, int x, int y, int first, int last);
