// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the frame-cost benchmarks: the game started headless once per
// process, races set up the way the menu starts them, per-frame medians and
// the targets checked at the end of a run.
#pragma once

#include <benchmark/benchmark.h>

#include <time.h>

#include <memory>
#include <string>
#include <vector>

#include "view/race_screen.h"

// Dummy video and audio drivers, the virtual clock (a frame's pacing wait
// returns at once) and the data folder as the working directory.
void bench_prepare();
// bench_prepare and the whole start-up, once.
void bench_start_game();
bool bench_game_started();
void bench_mark_started(bool on);   // after a benchmark started or stopped the game itself

// A closed rectangular circuit of size x size cells: the finish in the left
// road, driven upwards, 2 x 2 corners, a few slowing patches inside.
std::string generated_circuit(int size);
// Path of the generated circuit of that size, written once to /tmp.
const std::string& generated_circuit_file(int size);

// A race as the menu starts it, on the shipped level `level` (or, when
// `file` is not empty, on that level file instead), all three racers at
// 10 balls, laps enough never to finish, countdown already over.
// With `addons`, the full game's additions to the race (a ghost).
void start_race(const char* level, const std::string& file, bool two_players,
                std::shared_ptr<RaceAddons> addons = nullptr);
// One whole race frame of the race started, with the overlay passes it opens.
void race_frame();
// Racers back at the start (chains bunched up below the finish), computer
// drivers heading for their first waypoint again.
void back_to_start();
// Every RESTART_EVERY frames the racers go back to the start, so the measured
// frames stay a mix of chains bunched up at the start and chains on the road.
constexpr long RESTART_EVERY = 300;
// Holds Up (and W in a two-player race) so that the racers drive, and sends
// them back to the start now and then.
void keep_racing(long frame, bool two_players);

// Times single frames for a median: in CPU time of this thread by default,
// so a busy machine slows the figures less and ratios compare work with
// work; in wall time (`wall`) for what a player waits for, such as start-up.
struct frame_times {
    std::vector<double> ms;
    bool wall;
    double t0 = 0;
    explicit frame_times(bool wall_clock = false) : wall(wall_clock) { ms.reserve(1 << 16); }
    double now() const {
        timespec t;
        clock_gettime(wall ? CLOCK_MONOTONIC : CLOCK_THREAD_CPUTIME_ID, &t);
        return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
    }
    void start() { t0 = now(); }
    void stop() { ms.push_back(now() - t0); }
    double median() const;
    double percentile(double p) const;
};

// Puts median_ms (and p90_ms) on the benchmark's line and keeps the median
// under `key` for the target table printed after the run.
void report_frames(benchmark::State& state, const frame_times& t, const std::string& key);
// The benchmark's loop over the race set up: each race_frame() timed into
// `t`, the racers kept driving.
void time_race_frames(benchmark::State& state, frame_times& t, bool two_players);
void record_figure(const std::string& key, double value);
bool figure(const std::string& key, double& value);

// The targets, checked against the figures of this run.
void print_targets();
