// SPDX-License-Identifier: GPL-3.0-or-later
// The Good and Expert drivers in the race: what each sees, read from the race.
#include "race/racing_adapter.h"

#include "base/arith.h"

static bool line_driven(const Race& race, int r) {
    return (r == 2 || (r == 1 && !race.two_players)) && racer_length(race, r) > 0 &&
           (race.difficulty == DIFFICULTY_GOOD || race.difficulty == DIFFICULTY_EXPERT);
}

void prepare_racing_lines(const Race& race, Track& track) {
    for (int r = 1; r < RACERS; r++)
        if (line_driven(race, r)) add_racing_line(track, racer_length(race, r), race.off_road == OFF_ROAD_SLOWS);
}

const RacingLine* racing_line_of(const Race& race, const Track& track, int r) {
    return line_driven(race, r) ? racing_line_for(track, racer_length(race, r), race.off_road == OFF_ROAD_SLOWS)
                                : nullptr;
}

static int touched_in_order(const Race& race, int r, int legs) {
    int k = 0;
    while (k + 1 < legs && k < MAX_CHECKPOINTS && race.checkpoint_passed[k][r]) k++;
    return k;
}

int racing_driver_bits(Race& race, const RacingLine& line, int r) {
    if (r < 0 || r >= RACERS) return 0;
    const int hw = view_half_width(race), hh = view_half_height(race);
    DriverView v;
    v.x = hw + race.balls[0].x[r];
    v.y = hh + race.balls[0].y[r];
    v.heading = wrap_degrees((double)race.balls[0].heading[r]);
    v.speed = race.racers[r].speed;
    v.leg = touched_in_order(race, r, line.legs);
    for (int o = 0; o < RACERS; o++) {
        if (o == r) continue;
        for (int b = 0; b < racer_length(race, o) && v.others < SEEN_BALLS; b++) {
            v.other_x[v.others] = hw + race.balls[b].x[o];
            v.other_y[v.others] = hh + race.balls[b].y[o];
            v.others++;
        }
    }
    return racing_controls(line, race.difficulty, v, race.drivers[r]);
}
