// SPDX-License-Identifier: GPL-3.0-or-later
// A long randomised run: every shipped level plus a few odd ones, both
// modes, many chain lengths, random held keys. Nothing may become infinite
// or not-a-number, and nothing may hang.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "base/arith.h"
#include "core/state.h"
#include "draw/draw.h"
#include "harness.h"
#include "io/assets.h"
#include "io/media.h"
#include "race/race.h"
#include "shell/shell.h"
#include "sim/sim.h"
#include "track/track.h"
#include "view/tiles.h"
#include "view/view.h"

namespace {

std::vector<std::string> shipped_levels() {
    std::vector<std::string> levels;
    if (DIR* d = opendir("filut/levelit")) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() > 4 && name.substr(name.size() - 4) == ".txt" &&
                name != "all_levels.txt")
                levels.push_back("filut/levelit/" + name);
        }
        closedir(d);
    }
    std::sort(levels.begin(), levels.end());
    return levels;
}

// The first value of the race state that is not finite or out of its
// range, or "".
std::string state_fault() {
    const float edge = 50.0f * loaded_track.size + 100;   // heads: the clamp, give or take pushes
    for (int r = 0; r < RACERS; r++) {
        const std::string who = " of racer " + std::to_string(r);
        if (!(std::fabs(live_race.racers[r].speed) <= 6.0f)) return "speed" + who;
        for (const BallRow& row : live_race.balls)
            for (float v : {row.x[r], row.y[r], row.heading[r], row.aim[r], row.sprite[r]})
                if (!std::isfinite(v)) return "ball value" + who;
        const int len = racer_length(live_race, r);
        if (len == 0) continue;
        const float wx = live_race.balls[0].x[r] + view_half_width(live_race), wy = live_race.balls[0].y[r] + view_half_height(live_race);
        if (wx < -100 || wy < -100 || wx > edge || wy > edge) return "head off the grid" + who;
        if (live_race.balls[0].heading[r] < -5 || live_race.balls[0].heading[r] > 364) return "head heading" + who;
        for (int b = 1; b < len; b++) {
            if (live_race.balls[b].heading[r] < -90.001f || live_race.balls[b].heading[r] > 270.001f)
                return "trailing heading" + who;
            if (distance((int)live_race.balls[b].x[r], (int)live_race.balls[b].y[r], (int)live_race.balls[b - 1].x[r],
                         (int)live_race.balls[b - 1].y[r]) > 120)
                return "chain torn" + who;
        }
        if (r > 0 && (live_race.racers[r].next_waypoint < 0 ||
                      live_race.racers[r].next_waypoint >= std::max(1, loaded_track.waypoint_count)))
            return "next waypoint" + who;
    }
    return "";
}

}  // namespace

TEST(SimRandom, HundredThousandStepsStayFinite) {
    std::vector<std::string> levels = shipped_levels();
    ASSERT_GE(levels.size(), 1u) << "no shipped levels beside the tests";
    // Odd levels: an empty file (size 0), a single finish cell, slowing
    // cells all round, a broken circuit and a bare grid without a finish
    // cell, the largest grid, and a size field out of range.
    for (const char* text : {"", "0001M", "0005xxxxxxxxxxxxMxxxxxxxxxx", "0006.11==2.11##2.T#...",
                             "0003", "0499M", "-005M"})
        levels.push_back(scratch_file(text));

    std::mt19937 rng(7);
    const int runs_per_level_and_mode = 4;
    const long steps_per_run = 1000;
    long total = 0, races_ended = 0;
    for (const std::string& level : levels) {
        for (int mode = 0; mode < 2; mode++) {
            for (int run = 0; run < runs_per_level_and_mode; run++) {
                sim_options opt;
                opt.two_player = mode == 1;
                opt.lengths[0] = 1 + (int)(rng() % 10);
                opt.lengths[1] = (int)(rng() % 11);
                opt.lengths[2] = (int)(rng() % 11);
                if (run == 0) {   // the full field
                    opt.lengths[0] = opt.lengths[1] = opt.lengths[2] = 10;
                }
                opt.laps = 1;
                opt.seed = (unsigned)rng();
                opt.level_file = level;
                sim_setup(opt, live_race, loaded_track);
                ASSERT_EQ(state_fault(), "") << level;

                int bits = 0;
                long hold = 0;
                bool ended = false;
                for (long n = 1; n <= steps_per_run; n++) {
                    if (hold-- <= 0) {
                        // Mostly forward with turns, sometimes anything at all.
                        bits = (int)(rng() % 256);
                        if (rng() % 3) bits |= SIM_UP | SIM_W;
                        if (rng() % 4 == 0) bits |= SIM_DOWN | SIM_S;
                        hold = 1 + rng() % 40;
                    }
                    race_step(live_race, loaded_track, input_of_script_keys(bits));
                    if (!ended && race_over(live_race)) ended = true;
                    total++;
                    ASSERT_EQ(state_fault(), "") << level << " mode " << mode << " step " << n
                                                 << " lengths " << opt.lengths[0] << ","
                                                 << opt.lengths[1] << "," << opt.lengths[2];
                }
                races_ended += ended;
            }
        }
    }
    EXPECT_GE(total, 100000);
    EXPECT_GT(races_ended, 0);   // some races run to their end on the way
}
