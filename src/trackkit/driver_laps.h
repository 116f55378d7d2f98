// SPDX-License-Identifier: GPL-3.0-or-later
// Lap times of the computer drivers and of two script drivers on a track,
// raced headless with the game's own rules, with the stall watch that holds
// every driver to moving on. The only place the kit drives the race for
// these figures: set-up, steps, and the racers it reads.
#pragma once

#include <string>

#include "race/race.h"

enum lap_driver {
    LAP_CLASSIC,       // the game's own computer driver, player 3
    LAP_GOOD,          // the Good driver, player 3
    LAP_EXPERT,        // the Expert driver, player 3
    LAP_ROUTE_SCRIPT,  // player 1 on the keys, aiming at each waypoint in turn
    LAP_CUT_SCRIPT,    // player 1 on the keys, aiming at every fourth waypoint
    LAP_DRIVERS
};
extern const char* const lap_driver_names[LAP_DRIVERS];

// A head that moves less than this in a step off slowing cells makes no progress.
constexpr float STALL_PX = 0.5f;

struct driver_lap {
    int steps = -1;          // steps to the first lap; -1: none in the time given
    int longest_stall = 0;   // the most steps in a row without progress off slowing cells
    int slowed = 0;          // steps with a ball of the chain on a slowing cell
};

// The first lap of `driver` with a `chain`-ball chain on the track at
// `path`, in a one-player race (player 1 parked with one ball while a
// computer driver races; alone otherwise) or with `two_player` in a
// two-player race (players 1 and 2 parked). With `rival`, a one-player
// race has player 2 race too, driven as player 3 is. Gives up after
// `most_steps`. Races under the off-road rule `off_road`, on a track of its
// own: loaded_track is left alone.
driver_lap drive_first_lap(const std::string& path, int driver, int chain, bool two_player,
                           bool rival, int most_steps, int off_road = OFF_ROAD_FREE);
