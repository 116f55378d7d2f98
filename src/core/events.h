// The one way the screens read input. Events: SDL's queue plus what SDL
// does not know of, a quit asked for by the system (SIGTERM, SIGINT), and
// the gamepads' keys (core/pads.h). Held keys: the keyboard state array as a
// race frame reads it, with the pads' driving keys.
#pragma once

#include <SDL/SDL.h>

#include <csignal>

// Set by the shell's signal handler; never cleared. Once set, the game
// winds down through its normal shut-down.
extern volatile std::sig_atomic_t quit_signal;

// As SDL_PollEvent, less the presentation keys (F11), which are handled
// here for every screen. After a quit signal, every drain of the queue (each
// `while (next_event(e))` loop) gets one SDL_QUIT and nothing else, so no
// screen can drop the request or have a later key undo it. Otherwise SDL's
// events first, then the key events the pads make (read once per drain).
bool next_event(SDL_Event& e);

// The held keys a race frame drives by (and the pause check reads): SDL's
// keyboard state array, SDLK_LAST entries. Other sources of driving input
// merge into it here, so the race sees no difference between them.
const Uint8* frame_keys();

// A source that rewrites the driving keys of a copy of the keyboard's array
// before the race frame reads it (a replay being watched). Null, as without
// any option: the keyboard's array itself. Set by the shell for the run.
extern void (*driving_keys_source)(Uint8* keys);
