// SPDX-License-Identifier: GPL-3.0-or-later
// Good and Expert drivers. Each step the driver foretells a handful of short
// plans by the head's own movement rules (turn one way for so many steps,
// then run straight; at full throttle, or braking first) and takes the
// first control of the plan that ends nearest the end of the lap by the
// racing line's cost to go, counting what the slowing cells and their
// borders on the way would cost. So it turns in early enough for its
// turning circle, cuts across open ground wherever that is shorter, and
// brakes only where running on would carry it into the mud.
#include "race/racing_driver.h"

#include <cmath>

#include "base/arith.h"

namespace {

constexpr int PLAN_STEPS = 16;    // steps a plan is foretold for: 88 pixels at full speed
constexpr int FOLLOW_STEPS = 24;  // ... and then following the line: time for a U-turn
constexpr int FOLLOW_CHUNK = 3;   // steps foretold at a time while following
constexpr int LOOK_EVERY = 3;     // steps between two looks ahead; the plan drives between
// The steps a plan turns for before it runs straight: with 5 degrees a step
// up to a right angle and a little more.
constexpr int TURN_SPANS[] = {1, 2, 4, 7, 11, 16};
constexpr int TURN_SPAN_COUNT = sizeof TURN_SPANS / sizeof TURN_SPANS[0];
// Good looks ahead less often and at fewer turns.
constexpr int GOOD_LOOK_EVERY = 4;
constexpr int GOOD_LIFT_EVERY = 25;   // and lifts off for a step this often: 4 % of its speed
constexpr int GOOD_TURN_SPANS[] = {2, 7, 15};
constexpr int GOOD_TURN_SPAN_COUNT = sizeof GOOD_TURN_SPANS / sizeof GOOD_TURN_SPANS[0];
// Plans that brake for this many steps first, tried where running on costs.
constexpr int BRAKE_SPANS[] = {3};
constexpr float BRAKED_SPEED = 2.0f;   // slower than this, braking backs the head up
constexpr double LEAST_PROGRESS = 400;   // a plan that gains less than 40 pixels in 40 steps is stuck
constexpr double BRAKE_MARGIN = 100;   // a braking plan must be this much better: 10 pixels
constexpr int OTHERS_STEPS = 12;   // steps in which another racer's ball counts
constexpr float OTHER_GAP = 24.0f;   // ... when the head comes this close
constexpr double OTHER_COST = 300;   // ... in the line's units: 30 pixels of open ground

// The line's cost to go at world (x, y) on leg `leg`, between the four
// nearest cell centres.
double cost_at(const RacingLine& line, int leg, float x, float y) {
    const int cols = line.cols;
    double gx = x / LINE_CELL - 0.5, gy = y / LINE_CELL - 0.5;
    if (!(gx >= 0)) gx = 0;
    if (!(gy >= 0)) gy = 0;
    if (gx > cols - 1) gx = cols - 1;
    if (gy > cols - 1) gy = cols - 1;
    // A line has two cells a side at least (a track of one tile).
    int i = (int)gx, j = (int)gy;
    if (i > cols - 2) i = cols - 2;
    if (j > cols - 2) j = cols - 2;
    const double fx = gx - i, fy = gy - j;
    const int32_t* cost = &line.cost[(size_t)leg * cols * cols];
    auto at = [&](int a, int b) {
        const int32_t c = cost[a * cols + b];
        return c < 0 ? 1e9 : (double)c;
    };
    return (at(i, j) * (1 - fx) + at(i + 1, j) * fx) * (1 - fy) +
           (at(i, j + 1) * (1 - fx) + at(i + 1, j + 1) * fx) * fy;
}

struct plan {
    int steer;        // ACTION_LEFT, ACTION_RIGHT or 0
    int turn_steps;   // steps it steers for
    int brake_steps;  // steps it brakes for first
};

struct seen_other {
    float x, y;
};

// What following `p` from the head's state costs: the cost to go where it
// ends, plus what the cells on the way cost beyond open ground, plus running
// into other racers' balls. After the plan the head follows the line's own
// moves for a few steps more, so that a plan which ends facing away from
// where the line leads pays for the turn still ahead.
double plan_cost(const RacingLine& line, const DriverView& v, int leg, const plan& p,
                 const seen_other* others, int other_count) {
    const int cols = line.cols;
    const float edge = (float)(cols * LINE_CELL), per_cell = 1.0f / LINE_CELL;
    float x = v.x < 0 ? 0 : v.x < edge ? v.x : edge - 0.5f;
    float y = v.y < 0 ? 0 : v.y < edge ? v.y : edge - 0.5f;
    float speed = v.speed;
    int h = wrap_degrees(v.heading);
    const int cells = cols * cols;
    const int entry = 27 * (line.chain_length - 1) * (LINE_MUD_COST - LINE_OPEN_COST);
    const uint8_t* factor = line.factor.data();
    const double* sine = line.sine.data();
    const double* cosine = line.cosine.data();
    int cell = line_cell_at(line, x, y);
    bool in_mud = cell >= 0 && factor[cell] >= LINE_MUD_COST;
    double extra = 0;
    // Past the leg's target the plan has done its work: it follows the line on.
    const int start_leg = leg;
    const int steps = PLAN_STEPS + FOLLOW_STEPS;
    for (int t = 0; t < steps;) {
        // Following the line's move, a few steps at a time: a head turns as
        // fast at any speed; only its circle grows.
        const bool following = t >= p.turn_steps && (t >= PLAN_STEPS || leg != start_leg);
        int want = 0, n = 1;
        if (following) {
            n = steps - t < FOLLOW_CHUNK ? steps - t : FOLLOW_CHUNK;
            const int m = line.next[(size_t)leg * cells + cell];
            if (m >= 0) {
                want = line_move_heading[m] - h;
                if (want > 180) want -= 360;
                if (want < -180) want += 360;
            }
        } else if (t < p.turn_steps) {
            want = p.steer == ACTION_LEFT ? 5 : -5;
        }
        float travel = 0;
        for (int k = 0; k < n; k++, t++) {
            if (want >= 5) h += 5, want -= 5;
            if (want <= -5) h -= 5, want += 5;
            if (h < 0) h += 360;
            if (h >= 360) h -= 360;
            speed += t < p.brake_steps ? 1.1f : -1.1f;
            x = (float)(x + sine[h] * speed);
            y = (float)(y + cosine[h] * speed);
            travel += speed < 0 ? -speed : speed;
            speed *= 0.8f;
        }
        if (x < 0) x = 0;
        if (y < 0) y = 0;
        // (The race holds a head on the grid's far edge; a plan keeps it on
        // the last cell.)
        if (x >= edge) x = edge - 0.5f;
        if (y >= edge) y = edge - 0.5f;
        cell = (int)(x * per_cell) * cols + (int)(y * per_cell);
        const int f = factor[cell];
        if (f != LINE_OPEN_COST) {   // most of a plan runs in the open
            const bool mud = f >= LINE_MUD_COST;
            if (mud && !in_mud) extra += entry;
            in_mud = mud;
            extra += (f - LINE_OPEN_COST) * travel;
        } else {
            in_mud = false;
        }
        if (t <= OTHERS_STEPS)
            for (int k = 0; k < other_count; k++) {
                const float dx = others[k].x - x, dy = others[k].y - y;
                if (dx * dx + dy * dy < OTHER_GAP * OTHER_GAP) extra += OTHER_COST;
            }
        while (line_target_reached(line, leg, x, y)) {
            // Across the finish: the sooner the better.
            if (leg + 1 == line.legs) return extra - (double)(steps - t) * 55.0;
            leg++;
        }
    }
    return cost_at(line, leg, x, y) + extra;
}

}  // namespace

int racing_controls(const RacingLine& line, int difficulty, const DriverView& v,
                    DriverMemory& memory) {
    memory.step++;
    if (line.cols <= 0 || line.legs <= 0) return ACTION_FORWARD;
    const bool good = difficulty != DIFFICULTY_EXPERT;
    const int leg = v.leg < 0 ? 0 : v.leg >= line.legs ? line.legs - 1 : v.leg;

    // Only the balls a plan could reach count.
    seen_other others[SEEN_BALLS];
    int other_count = 0;
    const float reach = 6.0f * OTHERS_STEPS + OTHER_GAP;
    for (int k = 0; k < v.others && k < SEEN_BALLS; k++) {
        const float dx = v.other_x[k] - v.x, dy = v.other_y[k] - v.y;
        if (dx * dx + dy * dy < reach * reach) others[other_count++] = {v.other_x[k], v.other_y[k]};
    }

    if ((memory.step - 1) % (good ? GOOD_LOOK_EVERY : LOOK_EVERY) == 0) {
        const int* spans = good ? GOOD_TURN_SPANS : TURN_SPANS;
        const int span_count = good ? GOOD_TURN_SPAN_COUNT : TURN_SPAN_COUNT;
        plan best = {0, 0, 0};
        double best_cost = plan_cost(line, v, leg, best, others, other_count);
        auto consider = [&](const plan& p, double margin) {
            const double c = plan_cost(line, v, leg, p, others, other_count) + margin;
            if (c < best_cost) {
                best_cost = c;
                best = p;
            }
        };
        for (int side : {ACTION_LEFT, ACTION_RIGHT})
            for (int s = 0; s < span_count; s++) consider({side, spans[s], 0}, 0);
        // Braking only pays where running on would cost, and from a crawl it
        // only backs the head up.
        const double here = cost_at(line, leg, v.x, v.y);
        if (-v.speed > BRAKED_SPEED && best_cost > here - 5.5 * 10 * PLAN_STEPS)
            for (int b : BRAKE_SPANS) {
                consider({0, 0, b}, BRAKE_MARGIN);
                for (int side : {ACTION_LEFT, ACTION_RIGHT})
                    for (int s = 0; s < span_count; s++) consider({side, spans[s], b}, BRAKE_MARGIN);
            }
        memory.plan_steer = best.steer;
        memory.plan_turns = best.turn_steps;
        memory.plan_brakes = best.brake_steps;
        // No plan gets on: a hairpin, a checkpoint behind the head, its own
        // chain in the way.
        memory.crawling = here - best_cost < LEAST_PROGRESS;
    }

    int steer = memory.plan_turns > 0 ? memory.plan_steer : 0;
    int bits = memory.plan_brakes > 0 ? ACTION_BACK : ACTION_FORWARD;
    if (memory.plan_turns > 0) memory.plan_turns--;
    if (memory.plan_brakes > 0) memory.plan_brakes--;
    if (memory.crawling) {
        // Turn on the spot along the line's own move.
        const int c = line_cell_at(line, v.x, v.y);
        const int m = c >= 0 ? line.next[(size_t)leg * line.cols * line.cols + c] : -1;
        if (m >= 0) {
            int want = line_move_heading[m] - v.heading;
            if (want > 180) want -= 360;
            if (want < -180) want += 360;
            steer = want >= 5 ? ACTION_LEFT : want <= -5 ? ACTION_RIGHT : 0;
            // Far off its way it turns at a crawl, never standing still.
            if (want > 60 || want < -60)
                bits = -v.speed > 3.0f ? ACTION_BACK : -v.speed >= 1.2f ? 0 : ACTION_FORWARD;
            else
                bits = ACTION_FORWARD;
        }
    }
    if (good) {
        // Good reacts a step late, and lifts off for a step now and then.
        const int decided = steer;
        steer = memory.late_steer;
        memory.late_steer = decided;
        if (memory.step % GOOD_LIFT_EVERY == 0) return steer;
    }
    return bits | steer;
}
