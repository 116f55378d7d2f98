// SPDX-License-Identifier: GPL-3.0-or-later
// What the gamepads mean on the screen now running: a race drives with them.
#include "core/state.h"
#include "io/bindings.h"
#include "io/pads.h"
#include "view/view.h"

int pad_mode_now() {
    if (waiting_for_binding) return PADS_CAPTURE;
    // The full game's pause is a menu to a pad (its results are a screen of their own).
    if (full_game && game_screen == SCREEN_RACE && paused) return PADS_NAVIGATE;
    if (game_screen != SCREEN_RACE || race_over(live_race)) return PADS_NAVIGATE;   // menus, race end
    if (paused || countdown_running()) return PADS_OVERLAY;
    return PADS_DRIVE;
}
