// SPDX-License-Identifier: GPL-3.0-or-later
// The names racers go by on the results and the HUD.
#include "race/race.h"

#include "core/difficulty.h"

std::string racer_name(const Race& race, int r) {
    if (r == 0) return "Player 1";
    if (r == 1 && race.two_players) return "Player 2";
    if (r != 1 && r != 2) return "";
    // One driver per computer slot and difficulty.
    static const char* const drivers[3][2] = {
        {"Pebble", "Bumble"},   // classic
        {"Comet", "Juniper"},   // good
        {"Vortex", "Saffron"},  // expert
    };
    return drivers[difficulty_of(race.difficulty)][r - 1];
}
