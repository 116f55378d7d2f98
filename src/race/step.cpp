// SPDX-License-Identifier: GPL-3.0-or-later
// One simulated race step, in the order the race frame draws it: the frame's
// drawing slots in through RaceDrawing so that every ball is drawn right after
// its own chain step.
#include "race/race.h"

void race_step(Race& race, const Track& track, RaceInput input, RaceDrawing* drawing) {
    step_racers(race, track, input);

    if (drawing) drawing->track(race, track);
    pull_off_road(race, track);
    slow_racers(race, track);

    for (int r = 0; r < RACERS; r++) {
        check_finish_line(race, track, r);
        for (int b = 0; b < racer_length(race, r); b++) {
            chain_step(race, r, b);
            if (drawing) drawing->ball(race, r, b);
        }
    }

    const int n = track.checkpoint_count < MAX_CHECKPOINTS ? track.checkpoint_count : MAX_CHECKPOINTS;
    for (int k = 0; k < n; k++) {
        // The marker shows the touch of the step before; it then tells only
        // this step's touches.
        if (drawing) drawing->marker(race, track, k);
        race.checkpoint_lit[k] = 0;
        touch_checkpoint(race, track, k);
    }

    update_winner(race);
    race.step++;
}
