// SPDX-License-Identifier: GPL-3.0-or-later
// Event reading for every screen, with the system's quit requests in it.
#include "io/events.h"

#include <cstring>

#include "core/state.h"
#include "io/bindings.h"
#include "io/pads.h"
#include "io/present.h"
#include "io/web_keys.h"

volatile std::sig_atomic_t quit_signal = 0;   // whole run

// Whether the drain now running has had its SDL_QUIT: each screen's loop
// calls until false, so alternating gives one quit per drain.
static bool quit_given = false;

bool next_event(SDL_Event& e) {
    if (quit_signal) {
        quit_given = !quit_given;
        if (!quit_given) return false;
        e = SDL_Event();
        e.type = SDL_QUIT;
        return true;
    }
    // Presentation keys (F11) are taken here, on every screen alike.
    while (SDL_PollEvent(&e)) {
#ifdef __EMSCRIPTEN__
        // The only place keys enter the game: from here on, SDL 1.2's numbers.
        if (e.type == SDL_KEYDOWN || e.type == SDL_KEYUP) e.key.keysym.sym = key_from_web(e.key.keysym.sym);
#endif
        if (!presentation_key(e)) return true;
    }
    return next_pad_event(e);
}

FrameInput held_frame_input(bool two_players) {
    FrameInput in;
#ifdef __EMSCRIPTEN__
    const Uint8* keys = web_key_state();
#else
    const Uint8* keys = SDL_GetKeyState(nullptr);
#endif
    in.drive = input_from_keys(keys, key_bindings);
    in.ctrl_held = keys[SDLK_LCTRL] || keys[SDLK_RCTRL];
    const KeyBindings& b = key_bindings;
    in.pause_held = b.pause_key > SDLK_UNKNOWN && b.pause_key < SDLK_LAST && keys[b.pause_key] &&
                    (!b.pause_ctrl || in.ctrl_held);
    if (open_pad_count() > 0) merge_pads(in.drive, in.pause, two_players);
    return in;
}

// Whether a player's binding takes `key`, which then drives rather than toggles.
static bool key_bound(SDLKey key) {
    const KeyBindings& b = key_bindings;
    for (int p = 0; p < HUMAN_PLAYERS; p++)
        for (int a = 0; a < ACTIONS; a++)
            if (b.keys[p][a] == key) return true;
    return b.pause_key == key;
}

void race_events(FrameInput& in, bool only_pause) {
    SDL_Event e;
    while (next_event(e)) {
        if (only_pause) {
            if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_p) in.pause = true;
            continue;
        }
        if (e.type == SDL_QUIT) in.quit = true;
        if (e.type != SDL_KEYDOWN) continue;
        switch (e.key.keysym.sym) {
            case SDLK_ESCAPE: in.leave = true; break;
            case SDLK_TAB: in.follow_next = true; break;
            case SDLK_f: in.faster = true; break;
            case SDLK_SPACE: in.watch_pause = true; break;
            case SDLK_F3: in.network_line = !key_bound(SDLK_F3); break;
            default: break;
        }
    }
}
