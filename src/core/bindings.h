// SPDX-License-Identifier: GPL-3.0-or-later
// Key bindings: the key that drives each action of players 1 and 2, and
// the one place where held keys become a race's input. The bindings start
// as the game's own keys (arrows for player 1, W A S D for player 2).
#pragma once

#include <SDL/SDL.h>

#include "core/input.h"

// In the order of the action bits: forward, back, left, right.
constexpr int ACTIONS = 4;

struct KeyBindings {
    SDLKey keys[HUMAN_PLAYERS][ACTIONS];
};

KeyBindings default_key_bindings();
extern KeyBindings key_bindings;   // whole run; the default unless the full game changes it

// The race input of a held-key array (SDLK_LAST entries).
RaceInput input_from_keys(const Uint8* keys, const KeyBindings& bindings);
