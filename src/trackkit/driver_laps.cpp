// SPDX-License-Identifier: GPL-3.0-or-later
// Lap times of the drivers: the race set up as the level-load screen sets it
// up, stepped until the measured racer's first lap.
#include "trackkit/driver_laps.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/arith.h"
#include "race/race.h"
#include "track/track.h"

const char* const lap_driver_names[LAP_DRIVERS] = {difficulty_table::LABELS[0], difficulty_table::LABELS[1],
                                                   difficulty_table::LABELS[2], "route script", "cutting script"};

namespace {

constexpr int WAYPOINT_REACH = 49;   // as the computer drivers reach theirs

// A script driver on player 1's keys: turns towards its waypoint, holds Up
// unless the waypoint lies far to a side.
struct script_driver {
    int every = 1;    // aims at waypoints 0, every, 2 * every, ...
    int target = 0;

    unsigned bits(const Track& track, float x, float y, int heading) {
        const int n = track.waypoint_count < MAX_WAYPOINTS ? track.waypoint_count : MAX_WAYPOINTS;
        // The tracks come loaded; cppcheck follows only a cleared one here.
        // cppcheck-suppress knownConditionTrueFalse
        if (n <= 0) return ACTION_FORWARD;
        for (int guard = 0; guard < n; guard++) {
            const waypoint& w = track.waypoints[target];
            if (std::hypot((double)(w.x - x), (double)(w.y - y)) > WAYPOINT_REACH) break;
            target = target + every < n ? target + every : 0;
        }
        const waypoint& w = track.waypoints[target];
        double want = std::atan2((double)(x - w.x), (double)(y - w.y)) * DEG - heading;
        while (want > 180) want -= 360;
        while (want <= -180) want += 360;
        unsigned b = std::fabs(want) < 60 ? ACTION_FORWARD : 0;
        if (want > 2.5) b |= ACTION_LEFT;
        if (want < -2.5) b |= ACTION_RIGHT;
        return b;
    }
};

bool on_slowing_cell(const Track& track, float wx, float wy) {
    const int px = trunc_px(wx), py = trunc_px(wy);
    if (px <= 0 || py <= 0 || px % 50 == 0 || py % 50 == 0) return false;
    const int i = px / 50, j = py / 50;
    if (i >= track.size || j >= track.size) return false;
    const int t = track.tiles[i][j];
    return t >= 1 && t <= 5;
}

}  // namespace

driver_lap drive_first_lap(const std::string& path, int driver, int chain, bool two_player,
                           bool rival, int most_steps, int off_road) {
    const bool scripted = driver == LAP_ROUTE_SCRIPT || driver == LAP_CUT_SCRIPT;
    const int measured = scripted ? 0 : 2;
    std::unique_ptr<Track> own(new Track);
    Track& track = *own;
    clear_track(track);
    RaceSetup setup;
    setup.lengths[0] = scripted ? chain : 1;
    setup.lengths[1] = two_player ? 1 : rival && !scripted ? chain : 0;
    setup.lengths[2] = scripted ? 0 : chain;
    setup.laps = 1;
    setup.two_players = two_player;
    setup.difficulty = driver == LAP_GOOD     ? DIFFICULTY_GOOD
                       : driver == LAP_EXPERT ? DIFFICULTY_EXPERT
                                              : DIFFICULTY_CLASSIC;
    setup.off_road = off_road;
    Race race = new_race();
    Random random = make_random(1);
    setup_race(race, track, random, setup, path.c_str());

    script_driver script;
    script.every = driver == LAP_CUT_SCRIPT ? 4 : 1;
    const int hw = view_half_width(race), hh = view_half_height(race);
    driver_lap lap;
    int still = 0;
    const BallRow& head = race.balls[0];
    for (int step = 1; step <= most_steps; step++) {
        const float x0 = head.x[measured], y0 = head.y[measured];
        RaceInput input;
        if (scripted)
            input.player[0] = (unsigned char)script.bits(track, hw + x0, hh + y0,
                                                         wrap_degrees((double)head.heading[0]));
        race_step(race, track, input);
        bool slowed = false;
        for (int b = 0; b < racer_length(race, measured); b++)
            slowed = slowed || on_slowing_cell(track, hw + race.balls[b].x[measured],
                                               hh + race.balls[b].y[measured]);
        const double moved = std::hypot((double)(head.x[measured] - x0), (double)(head.y[measured] - y0));
        lap.slowed += slowed;
        still = moved < STALL_PX && !slowed ? still + 1 : 0;
        if (still > lap.longest_stall) lap.longest_stall = still;
        if (race.racers[measured].completed_laps >= 1) {
            lap.steps = step;
            break;
        }
    }
    return lap;
}
