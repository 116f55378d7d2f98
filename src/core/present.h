// SPDX-License-Identifier: GPL-3.0-or-later
// Showing a finished frame, and the keys that belong to the presentation
// rather than to a screen (F11). The screens draw into `screen` and call
// these; the shell installs the hooks at start-up (it owns the window, its
// scale and fullscreen). Without the hooks, as in tests of a lower layer,
// a frame is SDL_Flip(screen) and no key is taken.
#pragma once

#include <SDL/SDL.h>

// All set once by start-up and kept for the whole run.
extern void (*show_frame_hook)();
extern void (*show_still_frame_hook)();
extern bool (*showing_takes_time_hook)();
extern bool (*presentation_key_hook)(const SDL_Event& e);

// Puts the picture in `screen` on the display.
void show_frame();

// For a still screen whose picture in `screen` is exactly the one it last
// showed, nothing drawn since: sends nothing, unless the window was opened
// anew since (F11), and still does what comes with every shown frame (the
// music hand-over). Without the hooks it does nothing.
void show_still_frame();

// True when showing a frame takes time of its own (an enlarged or
// fullscreen picture): the race then counts that time toward the frame
// after it. False at scale 1 in a window and without the hooks.
bool showing_takes_time();

// Every screen's event handling asks this first: true when the event was a
// presentation key (F11, fullscreen on and off), which the screen then
// ignores.
bool presentation_key(const SDL_Event& e);
