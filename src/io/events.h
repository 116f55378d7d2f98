// SPDX-License-Identifier: GPL-3.0-or-later
// The one way the screens read input. Events: SDL's queue plus what SDL
// does not know of, a quit asked for by the system (SIGTERM, SIGINT), and
// the gamepads' keys (io/pads.h). Held keys: the keyboard state array as a
// race frame reads it, with the pads' driving keys.
#pragma once

#include <SDL/SDL.h>

#include <csignal>

#include "core/input.h"

// Set by the shell's signal handler; never cleared. Once set, the game
// winds down through its normal shut-down.
extern volatile std::sig_atomic_t quit_signal;

// As SDL_PollEvent, less the presentation keys (F11), which are handled
// here for every screen. After a quit signal, every drain of the queue (each
// `while (next_event(e))` loop) gets one SDL_QUIT and nothing else, so no
// screen can drop the request or have a later key undo it. Otherwise SDL's
// events first, then the key events the pads make (read once per drain).
bool next_event(SDL_Event& e);

// The held part of one race frame's input: the one read of the keyboard
// state array in the game, through the key bindings, with the pads' driving
// and their pause (Start, or the button bound to the pause).
FrameInput held_frame_input(bool two_players);

// Drains the queued events into the race keys of `in`: the close button,
// Escape, the keys for watching a replay (Tab, F, Space) and F3. With
// `only_pause` (Ctrl is held in a classic race) P asks for the pause and
// every other event is dropped.
void race_events(FrameInput& in, bool only_pause);
