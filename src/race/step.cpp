// One simulated race step, in the order the race frame draws it: the frame's
// drawing slots in through the hooks so that every ball is drawn right after
// its own chain step.
#include "race/race.h"
#include "track/track.h"

void simulate_step(const Uint8* keys, const race_hooks* hooks) {
    step_racers(keys);

    if (hooks && hooks->track) hooks->track();
    slow_racers();

    for (int r = 0; r < RACERS; r++) {
        check_finish_line(r);
        for (int b = 0; b < racer_length(r); b++) {
            chain_step(r, b);
            if (hooks && hooks->ball) hooks->ball(r, b);
        }
    }

    const int n = track.checkpoint_count < MAX_CHECKPOINTS ? track.checkpoint_count : MAX_CHECKPOINTS;
    for (int k = 0; k < n; k++) {
        // The marker shows the flag and clears it; without one, clear it here
        // so that it tells only this step's touches.
        if (hooks && hooks->marker)
            hooks->marker(k);
        else
            track.checkpoints[k].lit = 0;
        touch_checkpoint(k);
    }
}
