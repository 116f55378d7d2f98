// SPDX-License-Identifier: GPL-3.0-or-later
// Ghosts: a recorded lap or race
// driven again beside a live race as a race value of its own, re-simulated
// step by step from the replay's keys (never a recording of places). The
// ghost race holds only the ghost's racer, so it never pushes nor is pushed
// and never counts laps against anyone. No SDL; the view draws it.
#pragma once

#include <memory>
#include <string>

#include "race/race.h"
#include "replay/replay.h"

struct ghost {
    bool on = false;
    bool lap_only = false;     // a lap ghost starts again with every lap of the live racer
    Race race = new_race();    // racer 0 alone
    Race lap_start = new_race();   // its race as the lap began
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
// Whether the replay holds the time a record gives it: player 1 alone, re-
// simulated from its keys, ends lap `lap` (begun at step `lap_from`) or
// finishes the race (`lap_from` < 0) exactly `steps` steps later. The work
// is bounded by the replay's own steps and ends at the first of its checks
// that differs; numbers it cannot hold cost none. False with the reason.
bool replay_holds_time(const replay& rep, const std::string& level_path, const std::string& level_text,
                       long long lap_from, int lap, long long steps, std::string& why);
// One step of the ghost with its next recorded keys; it stands still once
// its lap or race is over.
void ghost_step(ghost& g);
// A lap ghost back at the start of its lap (the live racer began a lap).
void ghost_restart_lap(ghost& g);
