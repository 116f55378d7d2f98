// Set-up for the race tests: a blank state on a plain grid, set directly.
#pragma once

#include <SDL/SDL.h>

#include <cstring>
#include <initializer_list>

#include "core/state.h"
#include "race/race.h"
#include "track/track.h"

// Program start values, one player, laps 3, an open grid of ground cells,
// the finish cell at (200, 500), no waypoints (all filler) or checkpoints.
inline void race_test_reset(int size = 20, int len0 = 1, int len1 = 0, int len2 = 0,
                            bool two_player = false) {
    reset_race_state();
    race_settings.chain_length[0] = len0;
    race_settings.chain_length[1] = len1;
    race_settings.chain_length[2] = len2;
    race_settings.laps = 3;
    two_players = two_player;
    set_view_size();
    std::memset(&track, 0, sizeof track);
    track.size = size;
    track.finish_x = 200;
    track.finish_y = 500;
    for (int i = 0; i < MAX_WAYPOINTS; i++) track.waypoints[i] = {5000, 5000};
    reset_race_progress();
}

// Ball positions in world pixels.
inline void put_ball(int r, int b, float wx, float wy) {
    balls[b].x[r] = wx - view_half_width();
    balls[b].y[r] = wy - view_half_height();
}
inline float world_x(int r, int b) { return balls[b].x[r] + view_half_width(); }
inline float world_y(int r, int b) { return balls[b].y[r] + view_half_height(); }

// A key-state array with the given keys held.
struct held_keys {
    Uint8 k[SDLK_LAST] = {};
    held_keys(std::initializer_list<SDLKey> keys = {}) {
        for (SDLKey key : keys) k[key] = 1;
    }
    operator const Uint8*() const { return k; }
};
