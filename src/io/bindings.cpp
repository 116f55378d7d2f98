// SPDX-License-Identifier: GPL-3.0-or-later
// Held keys to race input through the bindings.
#include "io/bindings.h"

KeyBindings default_key_bindings() {
    KeyBindings b = {{{SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT}, {SDLK_w, SDLK_s, SDLK_a, SDLK_d}},
                     {{NO_BUTTON, NO_BUTTON, NO_BUTTON, NO_BUTTON}, {NO_BUTTON, NO_BUTTON, NO_BUTTON, NO_BUTTON}},
                     SDLK_p,
                     true,
                     NO_BUTTON};
    return b;
}

KeyBindings key_bindings = default_key_bindings();

RaceInput input_from_keys(const Uint8* keys, const KeyBindings& bindings) {
    RaceInput input;
    for (int p = 0; p < HUMAN_PLAYERS; p++)
        for (int a = 0; a < ACTIONS; a++) {
            const SDLKey key = bindings.keys[p][a];
            if (key > SDLK_UNKNOWN && key < SDLK_LAST && keys[key]) input.player[p] |= (unsigned char)(1 << a);
        }
    return input;
}

bool waiting_for_binding = false;   // only while the bindings screen waits
