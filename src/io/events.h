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

// One race frame's input: the held keys through the key bindings, with the
// pads' driving, into `input`. Returns the held-key array (SDLK_LAST
// entries) the pause check reads: SDL's keyboard state array, or a copy of
// it with the pads' Start as Ctrl.
const Uint8* frame_keys(RaceInput& input);

// A source that replaces the driving input of every race frame (a replay
// being watched). Null, as without any option. Set by the shell for the run.
extern void (*race_input_source)(RaceInput& input);
