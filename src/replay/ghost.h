// SPDX-License-Identifier: GPL-3.0-or-later
// Lap times counted from a race's steps, and ghosts: a recorded lap or race
// driven again beside a live race as a race value of its own, re-simulated
// step by step from the replay's keys (never a recording of places). The
// ghost race holds only the ghost's racer, so it never pushes nor is pushed
// and never counts laps against anyone. No SDL; the view draws it.
#pragma once

#include <memory>
#include <string>

#include "race/race.h"
#include "replay/replay.h"

// One racer's laps as the steps go by.
struct lap_clock {
    int laps_seen = 0;          // completed laps at the last step looked at
    long long lap_start = 0;    // the race step at which the running lap began
    long long last_lap = 0;     // steps of the lap finished last, 0 before the first
    int last_lap_number = 0;    // 1 for the first lap
    long long best_lap = 0;     // steps of the fastest lap so far, 0 before the first
    int best_lap_number = 0;
    long long best_lap_from = 0;   // the step at which that lap began
};
// After each step of `race`: true when racer `r` finished a lap in it.
bool lap_clock_step(lap_clock& clock, const Race& race, int r);

struct ghost {
    bool on = false;
    bool lap_only = false;     // a lap ghost starts again with every lap of the live racer
    Race race;                 // racer 0 alone
    Race lap_start;            // its race as the lap began
    replay rep;
    script_position at, lap_start_at;
    long long from_step = 0;   // lap ghosts: the replay's step at which the lap began
    long long steps = 0;       // of the lap or race; the ghost stops there
    long long driven = 0;      // steps driven since its (lap) start
    std::unique_ptr<Track> track;   // the replay's track, as its race loaded it
};

// Sets up a ghost from a replay of a race raced alone: a lap ghost (when
// `lap_from` >= 0: the lap that began at that step and lasted `steps`) or a
// race ghost (`lap_from` < 0). The track is `level_text` when not empty,
// else the file at `level_path`. False with the reason when the replay
// holds other racers or its steps run out before the lap.
bool start_ghost(ghost& g, const replay& rep, const std::string& level_path,
                 const std::string& level_text, long long lap_from, long long steps, std::string& why);
// One step of the ghost with its next recorded keys; it stands still once
// its lap or race is over.
void ghost_step(ghost& g);
// A lap ghost back at the start of its lap (the live racer began a lap).
void ghost_restart_lap(ghost& g);
