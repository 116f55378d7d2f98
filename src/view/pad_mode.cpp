// SPDX-License-Identifier: GPL-3.0-or-later
// What the gamepads mean on the screen now running: a race drives with them.
#include "core/pads.h"
#include "core/state.h"
#include "view/view.h"

int pad_mode_now() {
    if (game_screen != SCREEN_RACE || race_over(live_race)) return PADS_NAVIGATE;   // menus, race end
    if (paused || countdown_running()) return PADS_OVERLAY;
    return PADS_DRIVE;
}
