// SPDX-License-Identifier: GPL-3.0-or-later
// Track effects and score: slowing cells, the finish strip, checkpoints,
// laps and the winner.
#include <algorithm>
#include <cstring>

#include "base/arith.h"
#include "race/race.h"

constexpr double slowing_factor = 0.05;
constexpr int checkpoint_reach = 54;

static bool slowing_code(int code) { return code >= 1 && code <= 5; }

static int valid_checkpoints(const Track& track) {
    int n = track.checkpoint_count;
    if (n < 0) return 0;
    if (n > MAX_CHECKPOINTS) return MAX_CHECKPOINTS;
    return n;
}

void reset_race_progress(Race& race) {
    for (Racer& racer : race.racers) racer.completed_laps = 0;
    std::memset(race.checkpoint_passed, 0, sizeof race.checkpoint_passed);
    race.winner = 0;
    std::memset(race.clocks, 0, sizeof race.clocks);
}

// A lap counted in the step now running, which ends with race.step + 1
// steps run.
static void time_lap(Race& race, int r) {
    LapClock& c = race.clocks[r];
    const long long now = race.step + 1;
    c.last_lap = now - c.lap_started;
    if (c.best_lap == 0 || c.last_lap < c.best_lap) {
        c.best_lap = c.last_lap;
        c.best_lap_from = c.lap_started;
        c.best_lap_number = race.racers[r].completed_laps;
    }
    c.lap_started = now;
    if (c.finished == 0 && race.racers[r].completed_laps >= race.laps) c.finished = now;
}

bool lap_completed_now(const Race& race, int r) {
    return r >= 0 && r < RACERS && race.step > 0 && race.clocks[r].lap_started == race.step;
}

static void slow(Race& race, int r) {
    race.racers[r].speed = (float)(race.racers[r].speed * slowing_factor);
}

// A racer is slowed once for each of its balls that lies strictly inside a
// slowing cell (not on a cell border). Looked up from each ball rather than
// tested for every cell: a ball lies inside at most one cell and every hit
// is the same factor, so the speeds come out as a cell-by-cell pass gives.
bool ball_in_slowing_cell(const Race& race, const Track& track, int r, int b) {
    if (r < 0 || r >= RACERS || b < 0 || b >= MAX_BALLS) return false;
    const int n = track.size < MAX_TRACK ? track.size : MAX_TRACK;
    const int px = trunc_px(view_half_width(race) + race.balls[b].x[r]);
    const int py = trunc_px(view_half_height(race) + race.balls[b].y[r]);
    if (px <= 0 || py <= 0 || px % 50 == 0 || py % 50 == 0) return false;   // border or off the grid
    const int i = px / 50, j = py / 50;
    return i < n && j < n && slowing_code(track.tiles[i][j]);
}

void slow_racers(Race& race, const Track& track) {
    for (int r = 0; r < RACERS; r++)
        for (int b = 0; b < racer_length(race, r); b++)
            if (ball_in_slowing_cell(race, track, r, b)) slow(race, r);
}

bool on_plain_ground(const Race& race, const Track& track, int r) {
    if (r < 0 || r >= RACERS || track.size <= 0) return false;
    // The clamp keeps a head within 0..50 * size; the far edge belongs to
    // the last cell.
    const int last = std::min(track.size, MAX_TRACK) - 1;
    const int i = std::min(trunc_px(view_half_width(race) + race.balls[0].x[r]) / 50, last);
    const int j = std::min(trunc_px(view_half_height(race) + race.balls[0].y[r]) / 50, last);
    if (i < 0 || j < 0) return false;
    return plain_ground(track, i, j);
}

void pull_off_road(Race& race, const Track& track) {
    if (race.off_road != OFF_ROAD_SLOWS) return;
    for (int r = 0; r < RACERS; r++) {
        if (racer_length(race, r) == 0 || !on_plain_ground(race, track, r)) continue;
        float& s = race.racers[r].speed;
        const float size = s < 0.0f ? -s : s;
        if (size <= off_road_top_speed) continue;
        float eased = size - off_road_pull;
        if (eased < off_road_top_speed) eased = off_road_top_speed;
        s = s < 0.0f ? -eased : eased;
    }
}

void check_finish_line(Race& race, const Track& track, int r) {
    if (r < 0 || r >= RACERS) return;
    // A racer out of the race never scores. Its head row is never placed,
    // so it may still hold where it stood at the end of an earlier race
    // (in the strip, say), and on a track without checkpoints it would
    // count a lap every step and could win or end the race. Rows that were
    // never placed cannot reach the strip, so nothing else changes.
    if (racer_length(race, r) == 0) return;
    // The untruncated position: the strip's edges are exclusive to the pixel.
    const float wx = view_half_width(race) + race.balls[0].x[r];
    const float wy = view_half_height(race) + race.balls[0].y[r];
    if (!(wx > track.finish_x && wx < track.finish_x + 100 && wy > track.finish_y &&
          wy < track.finish_y + 20))
        return;
    const int n = valid_checkpoints(track);
    for (int k = 0; k < n; k++)
        if (!race.checkpoint_passed[k][r]) return;
    for (int k = 0; k < n; k++) race.checkpoint_passed[k][r] = 0;
    race.racers[r].completed_laps++;
    time_lap(race, r);
}

void touch_checkpoint(Race& race, const Track& track, int k) {
    if (k < 0 || k >= MAX_CHECKPOINTS) return;
    const checkpoint& c = track.checkpoints[k];
    const int hw = view_half_width(race), hh = view_half_height(race);
    // Every head row, taking part or not.
    for (int r = 0; r < RACERS; r++) {
        const int hx = trunc_px(hw + race.balls[0].x[r]);
        const int hy = trunc_px(hh + race.balls[0].y[r]);
        if (distance(hx, hy, c.x + 50, c.y + 50) <= checkpoint_reach) {
            race.checkpoint_lit[k] = 1;
            race.checkpoint_passed[k][r] = 1;
        }
    }
}

void update_winner(Race& race) {
    for (int r = 0; r < RACERS; r++)
        if (race.racers[r].completed_laps >= race.laps && race.winner == 0) race.winner = r + 1;
}

int active_racers(const Race& race) {
    int n = 0;
    for (int r = 0; r < RACERS; r++)
        if (racer_length(race, r) > 0) n++;
    return n;
}

int finished_racers(const Race& race) {
    int n = 0;
    for (const Racer& racer : race.racers)
        if (racer.completed_laps >= race.laps) n++;
    return n;
}

bool race_over(const Race& race) { return finished_racers(race) >= active_racers(race); }
