// SPDX-License-Identifier: GPL-3.0-or-later
// The script drivers of the cut gain: one at player 1's keys that aims at
// waypoints of the route in turn, through the kit's race calls.
#include <cmath>
#include <string>
#include <vector>

#include "core/input.h"
#include "race/race.h"
#include "track/tiles.h"
#include "track/track.h"
#include "trackkit/trackkit_local.h"

// A script driver at player 1's keys, alone on the track: it holds Up and
// steers at every `stride`-th waypoint of the route in turn (1: the road,
// 4: across the insides of corners), easing off in turns sharper than
// 120 degrees. It races CUT_LAPS laps; the best lap counts, so the standing
// start does not.
namespace {
constexpr int CUT_LAPS = 3;
constexpr int REACH = 49;   // as close as the computer drivers count a waypoint reached
constexpr int CUT_LAP_GIVE_UP = 90 * 50;   // steps without a lap
}   // namespace

script_run script_drive(const std::string& path, int chain, int stride) {
    Race race = kit_race(path, chain, 0, 0, 1);
    script_run run;
    const int n = loaded_track.waypoint_count < MAX_WAYPOINTS ? loaded_track.waypoint_count : MAX_WAYPOINTS;
    // kit_race() loads the track after clearing it; cppcheck sees only the clearing.
    // cppcheck-suppress knownConditionTrueFalse
    if (n <= 0 || loaded_track.checkpoint_count <= 0) return run;
    // Road cells: the pieces and the blanks they cover.
    std::vector<int> cover;
    road_cover(loaded_track.size, cover);
    std::vector<int> aims;
    for (int i = 0; i < n; i += stride) aims.push_back(i);
    size_t target = 0;
    int last_lap_step = 0, laps = 0;
    const double degrees = 57.29577957855229;
    for (int step = 1; step <= CUT_LAPS * CUT_LAP_GIVE_UP; step++) {
        const kit_ball head = kit_race_ball(race, 0, 0);
        const int hx = (int)head.x / 50, hy = (int)head.y / 50;
        if (hx >= 0 && hy >= 0 && hx < loaded_track.size && hy < loaded_track.size) {
            const int t = loaded_track.tiles[hx][hy];
            if (!road_code(t) && !(t == TILE_BLANK && cover[(size_t)hx * loaded_track.size + hy] > 0))
                run.left_road = true;
        }
        for (size_t tries = 0; tries < aims.size(); tries++) {
            const waypoint& w = loaded_track.waypoints[aims[target]];
            const waypoint& from = loaded_track.waypoints[aims[(target + aims.size() - 1) % aims.size()]];
            const double dx = w.x - head.x, dy = w.y - head.y;
            // Reached, or run past: beyond the target seen along the leg to it.
            const double lx = w.x - from.x, ly = w.y - from.y;
            const bool past = (lx * dx + ly * dy) < 0 && std::hypot(dx, dy) < 100;
            if (std::hypot(dx, dy) > REACH && !past) break;
            target = (target + 1) % aims.size();
        }
        const waypoint& w = loaded_track.waypoints[aims[target]];
        // Forward moves by (-sin h, -cos h); Left raises the heading.
        const double want = std::atan2(-(w.x - head.x), -(w.y - head.y)) * degrees;
        double diff = std::fmod(want - head.heading + 540.0, 360.0) - 180.0;
        unsigned keys = std::fabs(diff) < 120 ? ACTION_FORWARD : 0;
        if (diff > 2.5) keys |= ACTION_LEFT;
        if (diff < -2.5) keys |= ACTION_RIGHT;
        kit_race_step(race, keys);
        if (race.racers[0].completed_laps > laps) {
            laps = race.racers[0].completed_laps;
            const double lap = (step - last_lap_step) / 50.0;
            if (run.best < 0 || lap < run.best) run.best = lap;
            last_lap_step = step;
            if (laps >= CUT_LAPS) break;
        }
        if (step - last_lap_step > CUT_LAP_GIVE_UP) break;
    }
    if (laps == 0) {
        const int k_count = loaded_track.checkpoint_count < MAX_CHECKPOINTS ? loaded_track.checkpoint_count : MAX_CHECKPOINTS;
        for (int k = 0; k < k_count && run.unpassed < 0; k++)
            if (!race.checkpoint_passed[k][0]) run.unpassed = k;
    }
    return run;
}

