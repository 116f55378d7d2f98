// SPDX-License-Identifier: GPL-3.0-or-later
// Event reading for every screen, with the system's quit requests in it.
#include "io/events.h"

#include <cstring>

#include "core/state.h"
#include "io/bindings.h"
#include "io/pads.h"
#include "io/present.h"

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
    while (SDL_PollEvent(&e))
        if (!presentation_key(e)) return true;
    return next_pad_event(e);
}

void (*race_input_source)(RaceInput& input) = nullptr;   // whole run

const Uint8* frame_keys(RaceInput& input) {
    const Uint8* keys = SDL_GetKeyState(nullptr);
    if (open_pad_count() > 0) {
        static Uint8 merged[SDLK_LAST];   // rewritten by every call
        std::memcpy(merged, keys, sizeof merged);
        keys = merged;
        input = input_from_keys(keys, key_bindings);
        merge_pads(merged, input, two_players);
    } else {
        input = input_from_keys(keys, key_bindings);
    }
    // A replay being watched drives whatever else is held.
    if (race_input_source) race_input_source(input);
    return keys;
}
