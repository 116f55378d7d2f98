// SPDX-License-Identifier: GPL-3.0-or-later
// Showing a finished frame, and the keys that belong to the presentation
// rather than to a screen (F11). The screens draw into `screen` and call
// these; the shell installs the hooks at start-up (it owns the window, its
// scale and fullscreen). Without the hooks, as in tests of a lower layer,
// a frame is SDL_Flip(screen) and no key is taken.
#pragma once

#include <SDL/SDL.h>

// The shell's hooks, all set once by start-up and kept for the whole run.
struct presentation_hooks {
    void (*show_frame)() = nullptr;
    void (*show_still_frame)() = nullptr;
    bool (*showing_takes_time)() = nullptr;
    bool (*presentation_key)(const SDL_Event& e) = nullptr;
};
extern presentation_hooks presentation;
// Each hook by its own name, for the callers that swap one of them.
extern void (*&show_frame_hook)();
extern void (*&show_still_frame_hook)();
extern bool (*&showing_takes_time_hook)();
extern bool (*&presentation_key_hook)(const SDL_Event& e);

// Puts the picture in `screen` on the display.
void show_frame();

// For a screen that draws a new picture at every pass (the menus' moving
// backdrop, some 90 passes a second): shown as show_frame() does, except
// that when showing takes time of its own (enlarged or fullscreen) at most
// 60 pictures a second are sent, about what a display shows; the others
// are drawn and dropped. Each enlarged picture is megabytes to write, and
// the next pass follows within a menu frame, so nothing stays unshown.
void show_moving_frame();

// For a still screen whose picture in `screen` is exactly the one it last
// showed, nothing drawn since: sends nothing, unless the window was opened
// anew since (F11), and still does what comes with every shown frame (the
// music hand-over). Without the hooks it does nothing.
void show_still_frame();

// True when showing a frame takes time of its own (an enlarged or
// fullscreen picture): the race then counts that time toward the frame
// after it. False at scale 1 in a window and without the hooks.
bool showing_takes_time();

// The frames of a race (the local one and the online one) are paced to
// `frame_ms` from their start and shown after the wait, so they appear at an
// even pace. When showing takes time of its own (enlarged or fullscreen) and
// `carry` is set, the next start_paced_frame() counts from when this frame
// was due rather than from when its picture was out, so presenting never
// slows the race; a frame already a whole frame late starts afresh. At
// scale 1 in a window nothing is carried: the wait, then the flip.
void show_paced_frame(int frame_ms, bool carry);
// start_frame(), moved back to when the last paced frame was due, if it
// carried; forget_paced_frame() drops what was carried (a new race).
void start_paced_frame();
void forget_paced_frame();

// Every screen's event handling asks this first: true when the event was a
// presentation key (F11, fullscreen on and off), which the screen then
// ignores.
bool presentation_key(const SDL_Event& e);
