// The Good and Expert drivers in the race: what each sees, read from the race
// state, and their lines and memories, kept with the race.
#include "race/racing_adapter.h"

#include "core/state.h"
#include "draw/arith.h"
#include "race/race.h"
#include "track/track.h"

static RacingLine lines[RACERS];
static DriverMemory memories[RACERS];

bool racing_driver_drives(int r) {
    return (r == 1 || r == 2) && (race_difficulty == DIFFICULTY_GOOD || race_difficulty == DIFFICULTY_EXPERT);
}

void prepare_racing_drivers() {
    for (int r = 0; r < RACERS; r++) {
        memories[r] = DriverMemory();
        if (!racing_driver_drives(r) || racer_length(r) == 0) {
            lines[r] = RacingLine();
            continue;
        }
        // Racers of one chain length share one line.
        if (r == 2 && racing_driver_drives(1) && racer_length(1) == racer_length(2) && lines[1].cols > 0)
            lines[r] = lines[1];
        else
            lines[r] = build_racing_line(track, racer_length(r));
    }
}

static int touched_in_order(int r, int legs) {
    int k = 0;
    while (k + 1 < legs && k < MAX_CHECKPOINTS && checkpoint_passed[k][r]) k++;
    return k;
}

int racing_driver_bits(int r) {
    if (r < 0 || r >= RACERS) return 0;
    const int hw = view_half_width(), hh = view_half_height();
    DriverView v;
    v.x = hw + balls[0].x[r];
    v.y = hh + balls[0].y[r];
    v.heading = wrap_degrees((double)balls[0].heading[r]);
    v.speed = racers[r].speed;
    v.leg = touched_in_order(r, lines[r].legs);
    for (int o = 0; o < RACERS; o++) {
        if (o == r) continue;
        for (int b = 0; b < racer_length(o) && v.others < SEEN_BALLS; b++) {
            v.other_x[v.others] = hw + balls[b].x[o];
            v.other_y[v.others] = hh + balls[b].y[o];
            v.others++;
        }
    }
    return racing_controls(lines[r], race_difficulty, v, memories[r]);
}

const RacingLine& racing_line_of(int r) { return lines[r < 0 || r >= RACERS ? 0 : r]; }
