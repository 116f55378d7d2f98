// SPDX-License-Identifier: GPL-3.0-or-later
// The computer drivers: a race step with Classic against Expert drivers
// (CPU time, same run), the racing line's build on a 40 x 40 track, and the
// lap table of every driver on every shipped track.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <memory>

#include "bench_game.h"
#include "race/race.h"
#include "sim/sim.h"
#include "track/racing_line.h"
#include "track/track.h"
#include "trackkit/driver_laps.h"

constexpr int STEPS_PER_SAMPLE = 50;

// Players 2 and 3 with 10-ball chains driven by `difficulty`, player 1 with
// 10 balls on Up: the cost of a whole race step.
static void BM_DriverStep(benchmark::State& state, int difficulty, const char* key) {
    bench_start_game();
    sim_options opt;
    opt.lengths[0] = opt.lengths[1] = opt.lengths[2] = 10;
    opt.laps = 1000000;
    opt.level_file = "filut/levelit/GrandLoop.txt";
    opt.difficulty = difficulty;
    Race race;
    std::unique_ptr<Track> track(new Track);
    sim_setup(opt, race, *track);
    const RaceInput up = input_of_script_keys(SIM_UP);
    frame_times t;
    for (auto _ : state) {
        t.start();
        for (int s = 0; s < STEPS_PER_SAMPLE; s++) race_step(race, *track, up);
        t.stop();
    }
    state.counters["median_us_per_step"] = t.median() * 1000 / STEPS_PER_SAMPLE;
    record_figure(key, t.median() / STEPS_PER_SAMPLE);
}
static void BM_ClassicStep(benchmark::State& s) { BM_DriverStep(s, DIFFICULTY_CLASSIC, "driver_step/classic"); }
static void BM_ExpertStep(benchmark::State& s) { BM_DriverStep(s, DIFFICULTY_EXPERT, "driver_step/expert"); }
BENCHMARK(BM_ClassicStep)->Name("race_step_drivers/Classic_GrandLoop")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExpertStep)->Name("race_step_drivers/Expert_GrandLoop")->Unit(benchmark::kMicrosecond);

static void BM_RacingLine(benchmark::State& state) {
    bench_start_game();
    std::unique_ptr<Track> track(new Track);
    Random random = make_random(1);
    load_level_file(*track, "filut/levelit/GrandLoop.txt", random);
    frame_times t;
    for (auto _ : state) {
        t.start();
        const RacingLine line = build_racing_line(*track, 7);
        benchmark::DoNotOptimize(line.cols);
        t.stop();
    }
    state.counters["median_ms"] = t.median();
    record_figure("racing_line_ms", t.median());
}
BENCHMARK(BM_RacingLine)->Name("racing_line/GrandLoop_40x40")->Unit(benchmark::kMillisecond);

// The lap table: every driver's first lap with a 7-ball chain on every
// shipped track, seconds, and the longest stall in steps.
static void BM_DriverLaps(benchmark::State& state) {
    bench_start_game();
    std::ifstream f("filut/levelit/all_levels.txt");
    std::string all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>()), name;
    std::vector<std::string> names;
    for (char c : all) {
        if (c == '#') {
            names.push_back(name);
            name.clear();
        } else if (c > ' ') {
            name += c;
        }
    }
    int expert_wins = 0, good_between = 0, stalls = 0;
    for (auto _ : state) {
        printf("\n| Track | Classic | Good | Expert | route script | cutting script |\n|---|---|---|---|---|---|\n");
        for (const std::string& n : names) {
            double s[LAP_DRIVERS];
            printf("| %s |", n.c_str());
            for (int d = 0; d < LAP_DRIVERS; d++) {
                for (bool two : {false, true}) {
                    if (two && d > LAP_EXPERT) continue;
                    const driver_lap l = drive_first_lap("filut/levelit/" + n + ".txt", d, 7, two, false, 60 * 50);
                    if (l.longest_stall > 9 || l.steps < 0) stalls++;
                    if (!two) s[d] = l.steps < 0 ? 1e9 : l.steps / 50.0;
                }
                printf(" %.2f |", s[d]);
            }
            printf("\n");
            expert_wins += s[LAP_EXPERT] < s[LAP_ROUTE_SCRIPT] && s[LAP_EXPERT] < s[LAP_CUT_SCRIPT];
            good_between += s[LAP_EXPERT] <= s[LAP_GOOD] && s[LAP_GOOD] <= s[LAP_CLASSIC];
        }
    }
    record_figure("expert_wins", expert_wins);
    record_figure("good_between", good_between);
    record_figure("driver_stalls", stalls);
    record_figure("tracks", (double)names.size());
}
BENCHMARK(BM_DriverLaps)->Name("driver_laps/shipped_tracks")->Iterations(1)->Unit(benchmark::kSecond);
