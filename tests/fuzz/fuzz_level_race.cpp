// SPDX-License-Identifier: GPL-3.0-or-later
// A level file of any bytes, loaded and walked, then a few hundred race steps
// on it with chosen chain lengths, mode and held keys. Nothing may read or
// write outside an array, hang, or make a race value infinite or NaN.
//
// Input: 6 bytes of race set-up, then the level file itself.
//   0: bit 0 two-player mode; bits 1-2 laps - 1
//   1..3: chain lengths (player 1 at least 1)
//   4..5: seed of the held-key sequence
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "core/state.h"
#include "race/race.h"
#include "sim/sim.h"
#include "track/track.h"

static const char* scratch_path() {
    static char path[64] = "";
    if (!path[0]) snprintf(path, sizeof path, "/tmp/chainball-fuzz-level-%d.txt", (int)getpid());
    return path;
}

static void check_finite(const Race& race) {
    for (int r = 0; r < RACERS; r++) {
        if (!std::isfinite(race.racers[r].speed)) abort();
        for (int b = 0; b < MAX_BALLS; b++)
            if (!std::isfinite(race.balls[b].x[r]) || !std::isfinite(race.balls[b].y[r]) ||
                !std::isfinite(race.balls[b].heading[r]))
                abort();
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6) return 0;
    FILE* f = fopen(scratch_path(), "wb");
    if (!f) abort();
    fwrite(data + 6, 1, size - 6, f);
    fclose(f);

    sim_options opt;
    opt.two_player = data[0] & 1;
    opt.laps = 1 + ((data[0] >> 1) & 3);
    opt.lengths[0] = 1 + data[1] % 10;
    opt.lengths[1] = data[2] % 11;
    opt.lengths[2] = data[3] % 11;
    opt.level_file = scratch_path();
    static Race race;
    static Track track;
    sim_setup(opt, race, track);

    if (track.size < 0 || track.size > 499) abort();
    if (track.waypoint_count < 0 || track.waypoint_count > MAX_WAYPOINTS) abort();
    if (track.checkpoint_count < 0 || track.checkpoint_count > MAX_CHECKPOINTS) abort();

    unsigned rng = (unsigned)data[4] << 8 | data[5];
    int bits = 0;
    for (int step = 0; step < 300; step++) {
        if (step % 16 == 0) {
            rng = rng * 1103515245u + 12345u;
            bits = (int)(rng >> 16) & 0xFF;
        }
        race_step(race, track, input_of_script_keys(bits));
        check_finite(race);
        if (race_over(race)) break;
    }
    return 0;
}
