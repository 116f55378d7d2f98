// SPDX-License-Identifier: GPL-3.0-or-later
// Set-up for the race tests: a blank state on a plain grid, set directly.
#pragma once

#include "harness.h"

#include <SDL/SDL.h>

#include <cstring>
#include <initializer_list>

#include "core/state.h"
#include "io/bindings.h"
#include "race/race.h"
#include "track/track.h"
#include "view/view.h"

// Program start values, one player, laps 3, an open grid of ground cells,
// the finish cell at (200, 500), no waypoints (all filler) or checkpoints.
inline void race_test_reset(int size = 20, int len0 = 1, int len1 = 0, int len2 = 0,
                            bool two_player = false) {
    live_race = new_race();
    live_race.lengths[0] = len0;
    live_race.lengths[1] = len1;
    live_race.lengths[2] = len2;
    live_race.laps = 3;
    live_race.two_players = two_player;
    live_race.view_width = two_player ? 400 : 500;
    live_race.view_height = 500;
    clear_track(loaded_track);
    loaded_track.size = size;
    loaded_track.finish_x = 200;
    loaded_track.finish_y = 500;
    for (int i = 0; i < MAX_WAYPOINTS; i++) loaded_track.waypoints[i] = {5000, 5000};
    reset_race_progress(live_race);
    drop_test_screens();
}

// Ball positions in world pixels.
inline void put_ball(int r, int b, float wx, float wy) {
    live_race.balls[b].x[r] = wx - view_half_width(live_race);
    live_race.balls[b].y[r] = wy - view_half_height(live_race);
}
inline float world_x(int r, int b) { return live_race.balls[b].x[r] + view_half_width(live_race); }
inline float world_y(int r, int b) { return live_race.balls[b].y[r] + view_half_height(live_race); }

// A key-state array with the given keys held, and the race input the
// game's own keys make of it.
struct held_keys {
    Uint8 k[SDLK_LAST] = {};
    held_keys(std::initializer_list<SDLKey> keys = {}) {
        for (SDLKey key : keys) k[key] = 1;
    }
    operator const Uint8*() const { return k; }
    operator RaceInput() const { return input_from_keys(k, default_key_bindings()); }
};
