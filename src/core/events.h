// The one way the screens read events. It adds to SDL's queue what SDL
// does not know of: a quit asked for by the system (SIGTERM, SIGINT).
#pragma once

#include <SDL/SDL.h>

#include <csignal>

// Set by the shell's signal handler; never cleared. Once set, the game
// winds down through its normal shut-down.
extern volatile std::sig_atomic_t quit_signal;

// As SDL_PollEvent. After a quit signal, every drain of the queue (each
// `while (next_event(e))` loop) gets one SDL_QUIT and nothing else, so no
// screen can drop the request or have a later key undo it.
bool next_event(SDL_Event& e);
