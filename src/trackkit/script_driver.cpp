// SPDX-License-Identifier: GPL-3.0-or-later
// The script drivers of the cut gain and the mud cuts: one at player 1's
// keys that aims at waypoints of the route in turn, through the kit's race
// calls; and the mud cuts it may take.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "core/input.h"
#include "race/race.h"
#include "track/track.h"
#include "trackkit/trackkit_local.h"
#include "view/tiles.h"

// A script driver at player 1's keys, alone on the track: it holds Up and
// steers at the waypoints of the route it is given in turn (every one: the
// road; every 4th: across the insides of corners; every one but those a
// mud cut skips: straight over the mud), easing off in turns sharper than
// 120 degrees. It races CUT_LAPS laps; the best lap counts, so the standing
// start does not.
namespace {
constexpr int CUT_LAPS = 3;
constexpr int REACH = 49;   // as close as the computer drivers count a waypoint reached
constexpr int CUT_LAP_GIVE_UP = 90 * 50;   // steps without a lap
}   // namespace

static bool head_on_road(const Race& race, const std::vector<int>& cover) {
    const kit_ball head = kit_race_ball(race, 0, 0);
    const int hx = (int)head.x / 50, hy = (int)head.y / 50;
    return hx < 0 || hy < 0 || hx >= loaded_track.size || hy >= loaded_track.size || road_cell(cover, hx, hy);
}

// Whether holding `keys` keeps the head on the road for the next `look` steps.
static bool keys_keep_to_road(const Race& race, unsigned keys, const std::vector<int>& cover, int look) {
    Race ahead = race;
    for (int k = 0; k < look; k++) {
        kit_race_step(ahead, keys);
        if (!head_on_road(ahead, cover)) return false;
    }
    return true;
}

// The keys nearest `keys` that keep the head on the road: the same, else
// turning harder one way or the other, else lifting off, else braking.
static unsigned held_to_road(const Race& race, unsigned keys, const std::vector<int>& cover, int look) {
    if (keys_keep_to_road(race, keys, cover, look)) return keys;
    const unsigned turn = keys & (ACTION_LEFT | ACTION_RIGHT);
    const unsigned left = ACTION_LEFT, right = ACTION_RIGHT;
    const unsigned harder = turn ? turn : left;
    const unsigned other = turn == left ? right : left;
    const unsigned tries[] = {ACTION_FORWARD | harder, ACTION_FORWARD | other, harder, other,
                              ACTION_BACK | harder, ACTION_BACK | other};
    for (unsigned t : tries)
        if (keys_keep_to_road(race, t, cover, look)) return t;
    return keys;
}

static int route_waypoints() {
    return loaded_track.waypoint_count < MAX_WAYPOINTS ? loaded_track.waypoint_count : MAX_WAYPOINTS;
}

script_run script_drive(const std::string& path, int chain, int stride, int off_road, int hold) {
    std::vector<int> aims;
    kit_race(path, 0, 0, 0, 1);   // loads the track: the route's length
    for (int i = 0; i < route_waypoints(); i += stride) aims.push_back(i);
    return script_drive(path, chain, aims, off_road, hold);
}

script_run script_drive(const std::string& path, int chain, const std::vector<int>& aims, int off_road,
                        int hold) {
    Race race = kit_race(path, chain, 0, 0, 1, off_road);
    script_run run;
    const int n = route_waypoints();
    if (n <= 0 || loaded_track.checkpoint_count <= 0 || aims.empty()) return run;
    for (int a : aims)
        if (a < 0 || a >= n) return run;
    // Road cells: the pieces, the blanks they cover and the wide lanes.
    std::vector<int> cover;
    road_cover(loaded_track.size, cover);
    size_t target = 0;
    int last_lap_step = 0, laps = 0, grass = 0, slowing = 0;
    const double degrees = 57.29577957855229;
    for (int step = 1; step <= CUT_LAPS * CUT_LAP_GIVE_UP; step++) {
        const kit_ball head = kit_race_ball(race, 0, 0);
        const int hx = (int)head.x / 50, hy = (int)head.y / 50;
        if (hx >= 0 && hy >= 0 && hx < loaded_track.size && hy < loaded_track.size && !road_cell(cover, hx, hy)) {
            run.left_road = true;
            grass += plain_ground(loaded_track, hx, hy);
            slowing += loaded_track.tiles[hx][hy] >= 1 && loaded_track.tiles[hx][hy] <= 5;
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
        if (hold > 0) keys = held_to_road(race, keys, cover, hold);
        kit_race_step(race, keys);
        if (race.racers[0].completed_laps > laps) {
            laps = race.racers[0].completed_laps;
            const double lap = (step - last_lap_step) / 50.0;
            if (run.best < 0 || lap < run.best) {
                run.best = lap;
                run.grass_steps = grass;
                run.slowing_steps = slowing;
            }
            grass = slowing = 0;
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


// Mud cuts: straight lines between two waypoints of the route that run over
// road and slowing cells only, at least one of them slowing, and save at
// least MUD_CUT_SAVING pixels of the way along the road between them. The
// line is tested along its middle and a ball's half width to either side.
namespace {
constexpr double MUD_CUT_SAVING = 200;   // four cells
constexpr double MUD_CUT_LONGEST = 400;  // a straight longer than eight cells is no designed cut
constexpr int MUD_CUT_SIDE = 13;         // a ball's half width
constexpr double MUD_CUT_CHECKPOINT_REACH = 40;   // a head on the line touches (54) a checkpoint this near
enum line_ground { LINE_OFF, LINE_ROAD, LINE_MUD };

line_ground ground_along(const waypoint& a, const waypoint& b, const std::vector<int>& cover) {
    const int size = loaded_track.size;
    const double length = std::hypot((double)(b.x - a.x), (double)(b.y - a.y));
    const double nx = -(b.y - a.y) / length, ny = (b.x - a.x) / length;
    bool mud = false;
    for (int k = 0; k <= (int)(length / 5); k++) {
        const double t = k * 5 / length;
        for (int side = -MUD_CUT_SIDE; side <= MUD_CUT_SIDE; side += MUD_CUT_SIDE) {
            const double px = a.x + (b.x - a.x) * t + nx * side, py = a.y + (b.y - a.y) * t + ny * side;
            const int x = (int)std::floor(px / 50), y = (int)std::floor(py / 50);
            if (x < 0 || y < 0 || x >= size || y >= size) return LINE_OFF;
            const int code = loaded_track.tiles[x][y];
            if (code >= 1 && code <= 5)
                mud = true;
            else if (!road_cell(cover, x, y))
                return LINE_OFF;
        }
    }
    return mud ? LINE_MUD : LINE_ROAD;
}

// Whether the straight from waypoint i to j passes a checkpoint that the
// road between them holds far enough off to miss it (the checkpoint's
// middle is the waypoint of its cell): such a cut makes no lap.
bool skips_checkpoint(int i, int j) {
    const waypoint& a = loaded_track.waypoints[i];
    const waypoint& b = loaded_track.waypoints[j];
    const int k_count = loaded_track.checkpoint_count < MAX_CHECKPOINTS ? loaded_track.checkpoint_count : MAX_CHECKPOINTS;
    for (int k = 0; k < k_count; k++) {
        const double cx = loaded_track.checkpoints[k].x + 50, cy = loaded_track.checkpoints[k].y + 50;
        bool between = false;
        for (int m = i + 1; m < j && !between; m++)
            between = loaded_track.waypoints[m].x == cx && loaded_track.waypoints[m].y == cy;
        if (!between) continue;
        const double lx = b.x - a.x, ly = b.y - a.y;
        double t = ((cx - a.x) * lx + (cy - a.y) * ly) / (lx * lx + ly * ly);
        t = t < 0 ? 0 : t > 1 ? 1 : t;
        if (std::hypot(a.x + t * lx - cx, a.y + t * ly - cy) > MUD_CUT_CHECKPOINT_REACH) return true;
    }
    return false;
}
}   // namespace

std::vector<mud_cut> find_mud_cuts() {
    const int n = route_waypoints();
    std::vector<mud_cut> found, cuts;
    if (n < 3) return cuts;
    std::vector<int> cover;
    road_cover(loaded_track.size, cover);
    std::vector<double> along(n, 0);   // the way along the road from waypoint 0
    for (int i = 1; i < n; i++) {
        const waypoint& a = loaded_track.waypoints[i - 1];
        const waypoint& b = loaded_track.waypoints[i];
        along[i] = along[i - 1] + std::hypot((double)(b.x - a.x), (double)(b.y - a.y));
    }
    for (int i = 0; i < n; i++)
        for (int j = i + 2; j < n; j++) {
            const waypoint& a = loaded_track.waypoints[i];
            const waypoint& b = loaded_track.waypoints[j];
            const double line = std::hypot((double)(b.x - a.x), (double)(b.y - a.y));
            const double road = along[j] - along[i];
            if (line > MUD_CUT_LONGEST || line <= 0 || road - line < MUD_CUT_SAVING) continue;
            if (ground_along(a, b, cover) == LINE_MUD && !skips_checkpoint(i, j)) found.push_back({i, j, line, road});
        }
    // The straightest first: the least line for the way it saves. Cuts that
    // overlap along the route are one choice; the first of them stands.
    std::sort(found.begin(), found.end(), [](const mud_cut& p, const mud_cut& q) {
        return p.line * q.road < q.line * p.road || (p.line * q.road == q.line * p.road && p.from < q.from);
    });
    for (const mud_cut& c : found) {
        bool free = true;
        for (const mud_cut& t : cuts) free = free && (c.to <= t.from || t.to <= c.from);
        if (free) cuts.push_back(c);
    }
    std::sort(cuts.begin(), cuts.end(), [](const mud_cut& p, const mud_cut& q) { return p.from < q.from; });
    return cuts;
}

std::vector<int> aims_across(const std::vector<mud_cut>& cuts) {
    std::vector<int> aims;
    size_t next = 0;
    for (int i = 0; i < route_waypoints(); i++) {
        aims.push_back(i);
        if (next < cuts.size() && cuts[next].from == i) i = cuts[next++].to - 1;
    }
    return aims;
}
