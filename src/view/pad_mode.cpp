// What the gamepads mean on the screen now running: a race drives with them.
#include "core/pads.h"
#include "core/state.h"
#include "draw/clock.h"
#include "race/race.h"
#include "track/track.h"
#include "view/view.h"

int pad_mode_now() {
    if (game_screen != SCREEN_RACE || race_over()) return PADS_NAVIGATE;   // menus, race end
    // The countdown's first four seconds, as start_countdown counts them.
    if (paused || game_ticks() - race_start_ticks <= 3999) return PADS_OVERLAY;
    return PADS_DRIVE;
}
