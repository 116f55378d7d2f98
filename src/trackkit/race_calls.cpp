// SPDX-License-Identifier: GPL-3.0-or-later
// Every call the kit makes into the race: setting one up and stepping it.
// The rest of the kit holds a Race value and reads its fields, but sets up
// and steps it only through these functions, so a change in how a race is
// set up or driven is met here alone.
#include "base/random.h"
#include "core/input.h"
#include "race/race.h"
#include "track/track.h"
#include "trackkit/trackkit_local.h"

Race kit_race(const std::string& path, int a, int b, int c, unsigned seed, int off_road) {
    Race race = new_race();
    clear_track(loaded_track);
    const RaceSetup setup = {{a, b, c}, 1, false, DIFFICULTY_CLASSIC, off_road};
    Random random = make_random(seed);
    setup_race(race, loaded_track, random, setup, path.c_str());
    return race;
}

void kit_race_step(Race& race, unsigned player1_actions) {
    RaceInput input;
    input.player[0] = (unsigned char)player1_actions;
    race_step(race, loaded_track, input);
}

kit_ball kit_race_ball(const Race& race, int r, int b) {
    return {race.balls[b].x[r] + view_half_width(race), race.balls[b].y[r] + view_half_height(race),
            race.balls[b].heading[r]};
}
