// SPDX-License-Identifier: GPL-3.0-or-later
// Lap times and ghosts.
#include "replay/ghost.h"

#include <cstring>

bool start_ghost(ghost& g, const replay& rep, const std::string& level_path,
                 const std::string& level_text, long long lap_from, long long steps, std::string& why) {
    g.on = false;
    if (rep.lengths[1] != 0 || rep.lengths[2] != 0 || rep.two_player) {
        why = "the replay holds more than one racer";
        return false;
    }
    if (steps <= 0 || (lap_from >= 0 ? lap_from : 0) + steps > rep.result.steps) {
        why = "the replay ends before the lap";
        return false;
    }
    if (!g.track) g.track.reset(new Track);
    clear_track(*g.track);
    g.rep = rep;
    g.race = new_race();
    const RaceSetup setup = {{rep.lengths[0], 0, 0}, rep.laps, false, 0};
    Random random = make_random(1);   // every draw is put back from the replay
    if (level_text.empty()) setup_race(g.race, *g.track, random, setup, level_path.c_str());
    else setup_race_text(g.race, *g.track, random, setup, level_path.c_str(), level_text);
    apply_race_draws(rep, g.race, *g.track);
    g.at = script_position();
    g.lap_only = lap_from >= 0;
    g.from_step = g.lap_only ? lap_from : 0;
    for (long long s = 0; s < g.from_step; s++)
        race_step(g.race, *g.track, input_of_script_keys(next_script_keys(g.rep.keys, g.at)));
    g.lap_start = g.race;
    g.lap_start_at = g.at;
    g.steps = steps;
    g.driven = 0;
    g.on = true;
    return true;
}

void ghost_step(ghost& g) {
    if (!g.on || g.driven >= g.steps) return;
    race_step(g.race, *g.track, input_of_script_keys(next_script_keys(g.rep.keys, g.at)));
    g.driven++;
}

void ghost_restart_lap(ghost& g) {
    if (!g.on || !g.lap_only) return;
    g.race = g.lap_start;
    g.at = g.lap_start_at;
    g.driven = 0;
}
