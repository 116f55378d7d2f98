// SPDX-License-Identifier: GPL-3.0-or-later
// A cup's points and standings: plain values, no SDL, so the game, the
// simulator and the tests count a cup the same way. A cup is a series of
// races with the same racers; each finish earns points, 10, 6 and 3 for
// the first three places and none after.
#pragma once

#include <vector>

#include "race/race.h"
#include "track/track.h"

constexpr int CUP_POINTS[3] = {10, 6, 3};

// The points of a place from 1; 0 for a place past the third (or 0).
int cup_points(int place);

// One race of a cup as it ended: each racer's place from 1 (0: not taking
// part) and the step it finished at (0: it did not finish).
struct CupRaceResult {
    int place[RACERS] = {0, 0, 0};
    long long finished[RACERS] = {0, 0, 0};
};

// The result of `race` as it stands: finished racers by their finishing
// step, the others by how far they came. `abandoned`: the players left the
// race, and those still racing come after every other racer.
CupRaceResult cup_race_result(const Race& race, const Track& track, bool abandoned);

// One racer's line of the standings after some races.
struct CupStanding {
    int racer = 0;
    int race_points = 0;      // of the latest race
    int total = 0;
    int position = 0;         // from 1
    int gap = 0;              // points behind the leader
    long long total_steps = 0;   // finishing steps added up; 0 unless it finished every race
};

// The standings after `races` (at least one), best first: by total points,
// a tie broken by the better place in the latest race.
std::vector<CupStanding> cup_standings(const std::vector<CupRaceResult>& races);
