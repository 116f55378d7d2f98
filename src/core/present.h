// SPDX-License-Identifier: GPL-3.0-or-later
// Showing a finished frame, and the keys that belong to the presentation
// rather than to a screen (F11). The screens draw into `screen` and call
// these; the shell installs the hooks at start-up (it owns the window, its
// scale and fullscreen). Without the hooks, as in tests of a lower layer,
// a frame is SDL_Flip(screen) and no key is taken.
#pragma once

#include <SDL/SDL.h>

// Both set once by start-up and kept for the whole run.
extern void (*show_frame_hook)();
extern bool (*presentation_key_hook)(const SDL_Event& e);

// Puts the picture in `screen` on the display.
void show_frame();

// Every screen's event handling asks this first: true when the event was a
// presentation key (F11, fullscreen on and off), which the screen then
// ignores.
bool presentation_key(const SDL_Event& e);
