// SPDX-License-Identifier: GPL-3.0-or-later
// Lap times and ghosts.
#include "replay/ghost.h"

#include <cstring>

// The replay's race set up again, its racer alone on its track.
static void set_up_alone(const replay& rep, const RaceSetup& setup, const std::string& level_path,
                         const std::string& level_text, Race& race, Track& track) {
    clear_track(track);
    race = new_race();
    Random random = make_random(1);   // every draw is put back from the replay
    if (level_text.empty()) setup_race(race, track, random, setup, level_path.c_str());
    else setup_race_text(race, track, random, setup, level_path.c_str(), level_text);
    apply_race_draws(rep, race, track);
}

static bool refuse(std::string& why, const std::string& reason) {
    why = reason;
    return false;
}

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
    g.rep = rep;
    set_up_alone(rep, {{rep.lengths[0], 0, 0}, rep.laps, false, 0}, level_path, level_text, g.race, *g.track);
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

bool replay_holds_time(const replay& rep, const std::string& level_path, const std::string& level_text,
                       long long lap_from, int lap, long long steps, std::string& why) {
    if (rep.lengths[1] != 0 || rep.lengths[2] != 0 || rep.two_player)
        return refuse(why, "the replay holds more than one racer");
    const bool lap_only = lap_from >= 0;
    const long long end = (lap_only ? lap_from : 0) + steps;
    // The cheap checks first, so a forged number costs no simulation.
    if (steps <= 0 || end > rep.result.steps)
        return refuse(why, "the replay ends at step " + std::to_string(rep.result.steps) + ", before step " +
                               std::to_string(end));
    if (!lap_only && (rep.result.left || rep.result.steps != steps))
        return refuse(why, "the replay's race is " + describe_result(rep.result) + ", not " +
                               std::to_string(steps) + " steps");
    std::unique_ptr<Track> track(new Track);
    Race race = new_race();
    // As raced, so that the replay's checks compare.
    set_up_alone(rep, replay_race_setup(rep), level_path, level_text, race, *track);
    script_position at;
    size_t check = 0;
    const int goal = lap_only ? lap : rep.laps;
    while (race.step < end && race.racers[0].completed_laps < goal) {
        race_step(race, *track, input_of_script_keys(next_script_keys(rep.keys, at)));
        // An edited replay usually differs from its checks long before its end.
        while (check < rep.checks.size() && rep.checks[check].step < race.step) check++;
        if (check < rep.checks.size() && rep.checks[check].step == race.step &&
            rep.checks[check].sum != race_checksum(race))
            return refuse(why, "re-simulated, its racer differs from its check at step " +
                                   std::to_string(race.step));
    }
    const LapClock& clock = race.clocks[0];
    const bool holds = race.step == end && race.racers[0].completed_laps == goal &&
                       (lap_only ? lap_completed_now(race, 0) && clock.last_lap == steps : clock.finished == steps);
    if (!holds)
        return refuse(why, "re-simulated, its racer does not " +
                               (lap_only ? "end lap " + std::to_string(lap) : std::string("finish")) +
                               " at step " + std::to_string(end));
    return true;
}
