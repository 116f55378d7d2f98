// SPDX-License-Identifier: GPL-3.0-or-later
// Places, laps shown and split gaps, read off the race value.
#include "race/progress.h"

#include "base/arith.h"

int counted_checkpoints(const Track& track) {
    const int n = track.checkpoint_count;
    return n < 0 ? 0 : n > MAX_CHECKPOINTS ? MAX_CHECKPOINTS : n;
}

static float between(float ax, float ay, float bx, float by) { return float_length(bx - ax, by - ay); }

static int nearest_waypoint(const Track& track, int count, float x, float y) {
    int best = 0;
    float best_d = 0;
    for (int i = 0; i < count; i++) {
        const float dx = track.waypoints[i].x - x, dy = track.waypoints[i].y - y;
        const float d = dx * dx + dy * dy;
        if (i == 0 || d < best_d) {
            best = i;
            best_d = d;
        }
    }
    return best;
}

// Pixels from (x, y) to (tx, ty) along the waypoints, which the route walk
// laid in driving order from the finish round to it again.
static float along_route(const Track& track, float x, float y, float tx, float ty) {
    const int count = track.waypoint_count < 0 ? 0 : track.waypoint_count > MAX_WAYPOINTS ? MAX_WAYPOINTS
                                                                                          : track.waypoint_count;
    if (count < 2) return between(x, y, tx, ty);
    const int from = nearest_waypoint(track, count, x, y), to = nearest_waypoint(track, count, tx, ty);
    float d = 0;
    for (int i = from; i != to; i = (i + 1) % count) {
        const waypoint& a = track.waypoints[i];
        const waypoint& b = track.waypoints[(i + 1) % count];
        d += between((float)a.x, (float)a.y, (float)b.x, (float)b.y);
    }
    // Less what the head has driven past its waypoint, towards the next one.
    const waypoint& a = track.waypoints[from];
    const waypoint& b = track.waypoints[(from + 1) % count];
    const float seg = between((float)a.x, (float)a.y, (float)b.x, (float)b.y);
    const float ahead = seg > 0 ? ((x - a.x) * (b.x - a.x) + (y - a.y) * (b.y - a.y)) / seg : 0;
    return from == to ? between(x, y, tx, ty) : d - ahead;
}

Progress racer_progress(const Race& race, const Track& track, int r) {
    Progress p = {0, 0};
    if (r < 0 || r >= RACERS) return p;
    const int n = counted_checkpoints(track);
    int passed = 0, next = -1;
    for (int k = 0; k < n; k++) {
        if (race.checkpoint_passed[k][r]) passed++;
        else if (next < 0) next = k;
    }
    p.marks = race.racers[r].completed_laps * (n + 1) + passed;
    // The next target: the first checkpoint still owed (they lie in route
    // order), else the middle of the finish strip.
    const float tx = next >= 0 ? (float)track.checkpoints[next].x + 50 : (float)track.finish_x + 50;
    const float ty = next >= 0 ? (float)track.checkpoints[next].y + 50 : (float)track.finish_y + 10;
    const float x = view_half_width(race) + race.balls[0].x[r];
    const float y = view_half_height(race) + race.balls[0].y[r];
    p.to_next = along_route(track, x, y, tx, ty);
    return p;
}

bool further_on(const Progress& a, const Progress& b) {
    return a.marks != b.marks ? a.marks > b.marks : a.to_next < b.to_next;
}

int lap_on(const Race& race, int r) {
    if (r < 0 || r >= RACERS) return 1;
    const int lap = race.racers[r].completed_laps + 1;
    return lap > race.laps ? (race.laps < 1 ? 1 : race.laps) : lap < 1 ? 1 : lap;
}

void race_places(const Race& race, const Track& track, int place[RACERS]) {
    Progress p[RACERS];
    for (int r = 0; r < RACERS; r++) p[r] = racer_progress(race, track, r);
    // Whether racer a is placed before racer b.
    auto before = [&](int a, int b) {
        const long long fa = race.clocks[a].finished, fb = race.clocks[b].finished;
        if (fa > 0 || fb > 0) return fa > 0 && (fb == 0 || fa < fb || (fa == fb && a < b));
        return further_on(p[a], p[b]) || (!further_on(p[b], p[a]) && a < b);
    };
    for (int r = 0; r < RACERS; r++) {
        place[r] = 0;
        if (racer_length(race, r) == 0) continue;
        place[r] = 1;
        for (int o = 0; o < RACERS; o++)
            if (o != r && racer_length(race, o) > 0 && before(o, r)) place[r]++;
    }
}

void start_splits(SplitLog& log, const Race& race, const Track& track) {
    log.from = race.step;
    for (int r = 0; r < RACERS; r++) {
        log.base[r] = racer_progress(race, track, r).marks;
        log.at[r].assign(1, 0);
    }
}

void note_splits(SplitLog& log, const Race& race, const Track& track) {
    if (race.step < log.from) start_splits(log, race, track);
    for (int r = 0; r < RACERS; r++) {
        const int marks = racer_progress(race, track, r).marks - log.base[r];
        std::vector<long long>& at = log.at[r];
        if (marks < 0) {
            start_splits(log, race, track);
            return;
        }
        if ((size_t)marks + 1 < at.size()) at.resize((size_t)marks + 1);
        while (at.size() > 1 && at.back() > race.step - log.from) at.pop_back();   // steps taken back
        while (at.size() < (size_t)marks + 1) at.push_back(race.step - log.from);
    }
}

bool split_gap(const SplitLog& la, int a, const SplitLog& lb, int b, long long& steps) {
    if (a < 0 || a >= RACERS || b < 0 || b >= RACERS) return false;
    const size_t both = la.at[a].size() < lb.at[b].size() ? la.at[a].size() : lb.at[b].size();
    if (both == 0) return false;
    steps = la.at[a][both - 1] - lb.at[b][both - 1];
    return true;
}

int gap_rival(const int place[RACERS], int r) {
    if (r < 0 || r >= RACERS || place[r] == 0) return -1;
    const int wanted = place[r] == 1 ? 2 : place[r] - 1;
    for (int o = 0; o < RACERS; o++)
        if (o != r && place[o] == wanted) return o;
    return -1;
}
