// Lap times of the drivers: the race set up as the level-load screen sets it
// up, stepped until the measured racer's first lap.
#include "trackkit/driver_laps.h"

#include <SDL/SDL.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/state.h"
#include "draw/arith.h"
#include "race/race.h"
#include "race/racing_driver.h"
#include "track/track.h"

const char* const lap_driver_names[LAP_DRIVERS] = {"Classic", "Good", "Expert", "route script",
                                                   "cutting script"};

namespace {

constexpr int WAYPOINT_REACH = 49;   // as the computer drivers reach theirs

// A script driver on player 1's keys: turns towards its waypoint, holds Up
// unless the waypoint lies far to a side.
struct script_driver {
    int every = 1;    // aims at waypoints 0, every, 2 * every, ...
    int target = 0;

    int bits(float x, float y, int heading) {
        const int n = track.waypoint_count < MAX_WAYPOINTS ? track.waypoint_count : MAX_WAYPOINTS;
        if (n <= 0) return DRIVE_FORWARD;
        for (int guard = 0; guard < n; guard++) {
            const waypoint& w = track.waypoints[target];
            if (std::hypot((double)(w.x - x), (double)(w.y - y)) > WAYPOINT_REACH) break;
            target = target + every < n ? target + every : 0;
        }
        const waypoint& w = track.waypoints[target];
        double want = std::atan2((double)(x - w.x), (double)(y - w.y)) * DEG - heading;
        while (want > 180) want -= 360;
        while (want <= -180) want += 360;
        int b = std::fabs(want) < 60 ? DRIVE_FORWARD : 0;
        if (want > 2.5) b |= DRIVE_LEFT;
        if (want < -2.5) b |= DRIVE_RIGHT;
        return b;
    }
};

bool on_slowing_cell(float wx, float wy) {
    const int px = trunc_px(wx), py = trunc_px(wy);
    if (px <= 0 || py <= 0 || px % 50 == 0 || py % 50 == 0) return false;
    const int i = px / 50, j = py / 50;
    if (i >= track.size || j >= track.size) return false;
    const int t = track.tiles[i][j];
    return t >= 1 && t <= 5;
}

}  // namespace

driver_lap drive_first_lap(const std::string& path, int driver, int chain, bool two_player,
                           bool rival, int most_steps) {
    const bool scripted = driver == LAP_ROUTE_SCRIPT || driver == LAP_CUT_SCRIPT;
    const int measured = scripted ? 0 : 2;
    reset_race_state();
    std::memset(&track, 0, sizeof track);
    two_players = two_player;
    race_difficulty = driver == LAP_GOOD ? DIFFICULTY_GOOD : driver == LAP_EXPERT ? DIFFICULTY_EXPERT
                                                                                 : DIFFICULTY_CLASSIC;
    race_settings.chain_length[0] = scripted ? chain : 1;
    race_settings.chain_length[1] = two_player ? 1 : rival && !scripted ? chain : 0;
    race_settings.chain_length[2] = scripted ? 0 : chain;
    race_settings.laps = 1;
    std::srand(1);
    setup_race(path.c_str());

    script_driver script;
    script.every = driver == LAP_CUT_SCRIPT ? 4 : 1;
    Uint8 keys[SDLK_LAST];
    std::memset(keys, 0, sizeof keys);
    const int hw = view_half_width(), hh = view_half_height();
    driver_lap lap;
    int still = 0;
    for (int step = 1; step <= most_steps; step++) {
        const float x0 = balls[0].x[measured], y0 = balls[0].y[measured];
        if (scripted) {
            const int b = script.bits(hw + x0, hh + y0, wrap_degrees((double)balls[0].heading[0]));
            keys[SDLK_UP] = (b & DRIVE_FORWARD) != 0;
            keys[SDLK_LEFT] = (b & DRIVE_LEFT) != 0;
            keys[SDLK_RIGHT] = (b & DRIVE_RIGHT) != 0;
        }
        simulate_step(keys, nullptr);
        bool slowed = false;
        for (int b = 0; b < racer_length(measured); b++)
            slowed = slowed || on_slowing_cell(hw + balls[b].x[measured], hh + balls[b].y[measured]);
        const double moved = std::hypot((double)(balls[0].x[measured] - x0), (double)(balls[0].y[measured] - y0));
        lap.slowed += slowed;
        still = moved < STALL_PX && !slowed ? still + 1 : 0;
        if (still > lap.longest_stall) lap.longest_stall = still;
        if (racers[measured].completed_laps >= 1) {
            lap.steps = step;
            break;
        }
    }
    return lap;
}
