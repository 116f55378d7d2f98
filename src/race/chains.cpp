// SPDX-License-Identifier: GPL-3.0-or-later
// Ball chains: each trailing ball is dragged after the ball in front of it,
// and every ball pushes the balls that come too close.
#include <cmath>

#include "base/arith.h"
#include "base/trig.h"
#include "race/race.h"

static bool finite_pos(float x, float y) { return std::isfinite(x) && std::isfinite(y); }

static double squared_gap(float x, float y, float fx, float fy) {
    const double dx = (double)x - fx, dy = (double)y - fy;
    return dx * dx + dy * dy;
}

// True when a ball whose truncated offset from its leader is (ix, iy) and
// which moves by (mx, my) each step can never again come within
// follow_distance: one offset already lies beyond 27 and moves away (or not
// at all). Truncation and float rounding are monotonic, so such an offset
// only grows.
static bool beyond_reach(long long ix, long long iy, double mx, double my) {
    if (mx >= 0 && ix > follow_distance) return true;
    if (mx <= 0 && ix < -follow_distance) return true;
    if (my >= 0 && iy > follow_distance) return true;
    if (my <= 0 && iy < -follow_distance) return true;
    return false;
}

static void drag(Race& race, int r, int b) {
    float& bx = race.balls[b].x[r];
    float& by = race.balls[b].y[r];
    const float fx = race.balls[b - 1].x[r];
    const float fy = race.balls[b - 1].y[r];
    if (!finite_pos(bx, by) || !finite_pos(fx, fy)) return;

    const int fxi = trunc_px(fx), fyi = trunc_px(fy);
    if (distance(trunc_px(bx), trunc_px(by), fxi, fyi) <= follow_distance) return;

    // Equal y values give an infinite quotient and so +-90 degrees.
    const float q = (bx - fx) / (by - fy);
    float h = (float)atan_of_quotient(q);
    h = (float)(h * DEG);
    if (by < fy) h += 180;
    race.balls[b].heading[r] = h;

    const int a = wrap_degrees((double)h);
    const double mx = -2 * sine_of_degrees(a);
    const double my = -2 * cosine_of_degrees(a);

    // The direction is cut to whole degrees, so a leader far enough away is
    // passed by rather than reached and the plain loop would never end.
    // Stop there instead, at the point of the line nearest to the leader.
    // Wherever the plain loop ends, this one ends at the same place.
    while (distance(trunc_px(bx), trunc_px(by), fxi, fyi) > follow_distance) {
        const float nx = (float)(bx + mx);
        const float ny = (float)(by + my);
        if (nx == bx && ny == by) break;   // too far out for a 2-pixel step to register
        if (beyond_reach((long long)trunc_px(bx) - fxi, (long long)trunc_px(by) - fyi, mx, my) &&
            squared_gap(nx, ny, fx, fy) >= squared_gap(bx, by, fx, fy))
            break;
        bx = nx;
        by = ny;
    }
}

static void push_from(Race& race, int r, int b) {
    const float bx = race.balls[b].x[r];
    const float by = race.balls[b].y[r];
    if (!finite_pos(bx, by)) return;
    const int bxi = trunc_px(bx), byi = trunc_px(by);

    for (int r2 = 0; r2 < RACERS; r2++) {
        const int n = racer_length(race, r2);
        for (int k = 0; k < n; k++) {
            if (r2 == r && k == b) continue;
            float& ox = race.balls[k].x[r2];
            float& oy = race.balls[k].y[r2];
            if (!finite_pos(ox, oy)) continue;
            const int oxi = trunc_px(ox), oyi = trunc_px(oy);
            // Cheap rejection first; the distance decides.
            const long long gx = (long long)oxi - bxi, gy = (long long)oyi - byi;
            if (gx > push_distance || gx < -push_distance || gy > push_distance ||
                gy < -push_distance)
                continue;
            if (distance(oxi, oyi, bxi, byi) > push_distance) continue;

            int a;
            if (ox == bx && oy == by) {
                // No direction between two balls at one spot: push straight
                // down the screen, as for a ball just below.
                a = 0;
            } else {
                a = (int)(DEG * atan_of_quotient((ox - bx) / (oy - by)));
                if (oy < by) a += 180;
            }
            ox = (float)(ox + 3 * sine_of_degrees(a));
            oy = (float)(oy + 3 * cosine_of_degrees(a));
        }
    }
}

void chain_step(Race& race, int r, int b) {
    if (r < 0 || r >= RACERS || b < 0 || b >= MAX_BALLS) return;
    if (b >= 1) drag(race, r, b);
    push_from(race, r, b);
}
