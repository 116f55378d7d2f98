// SPDX-License-Identifier: GPL-3.0-or-later
// Key bindings: the key or pad button that drives each action of players 1
// and 2, and the full game's pause, and the one place where held keys become
// a race's input. The bindings start as the game's own keys (arrows for
// player 1, W A S D for player 2, Ctrl+P); only the full game changes them.
#pragma once

#include <SDL/SDL.h>

#include "core/input.h"

// In the order of the action bits: forward, back, left, right.
constexpr int ACTIONS = 4;
constexpr int NO_BUTTON = -1;

struct KeyBindings {
    // Each action is bound to a key or to a button of the player's pad: the
    // other one is SDLK_UNKNOWN or NO_BUTTON.
    SDLKey keys[HUMAN_PLAYERS][ACTIONS];
    int buttons[HUMAN_PLAYERS][ACTIONS];
    // The full game's pause: a key (held with Ctrl when pause_ctrl), or a
    // pad button. The classic game pauses on Ctrl+P whatever this says.
    SDLKey pause_key;
    bool pause_ctrl;
    int pause_button;
};

KeyBindings default_key_bindings();
extern KeyBindings key_bindings;   // whole run; the default unless the full game changes it

// The race input of a held-key array (SDLK_LAST entries).
RaceInput input_from_keys(const Uint8* keys, const KeyBindings& bindings);

// True while the full game's key bindings screen waits for a key or button
// to bind: the pads then report their buttons instead of navigating.
extern bool waiting_for_binding;
