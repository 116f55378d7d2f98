// SPDX-License-Identifier: GPL-3.0-or-later
// The race's cameras and the full game's leading ones.
#include "view/camera.h"

#include <cmath>

#include "base/arith.h"

ViewCameras race_cameras(const Race& race, const Track& track, int follow) {
    ViewCameras c;
    for (int v = 0; v < 2; v++) {
        c.x[v] = race.camera_x[v];
        c.y[v] = race.camera_y[v];
    }
    if (follow > 0 && racer_length(race, follow) > 0) follow_camera(race, track, follow, c.x[0], c.y[0]);
    return c;
}

static float eased(float now, float wanted) {
    float move = (wanted - now) * LEAD_EASE;
    if (move > LEAD_MOST_PER_FRAME) move = LEAD_MOST_PER_FRAME;
    if (move < -LEAD_MOST_PER_FRAME) move = -LEAD_MOST_PER_FRAME;
    return now + move;
}

ViewCameras lead_cameras(LookAhead& look, const Race& race, const Track& track, int follow) {
    ViewCameras c = race_cameras(race, track, follow);
    const int views = race.two_players ? 2 : 1;
    for (int v = 0; v < views; v++) {
        const int r = v == 0 ? follow : 1;
        // The head moves by (sin h, cos h) * speed a step, as move_head has it.
        const double h = wrap_degrees((double)race.balls[0].heading[r]) / DEG;
        const double s = race.racers[r].speed;
        const float wx = (float)(std::sin(h) * s * LEAD_STEPS), wy = (float)(std::cos(h) * s * LEAD_STEPS);
        // A speed that is not a number leaves the lead where it was.
        if (std::isfinite(wx) && std::isfinite(wy)) {
            look.x[v] = eased(look.x[v], wx);
            look.y[v] = eased(look.y[v], wy);
        }
        const float x = race.balls[0].x[r] + look.x[v], y = race.balls[0].y[r] + look.y[v];
        if (!(std::fabs(x) < 1e6f && std::fabs(y) < 1e6f)) continue;   // far off any grid: the race's own
        c.x[v] = -trunc_px(x);
        c.y[v] = -trunc_px(y);
        clamp_camera(race, track, c.x[v], c.y[v]);
    }
    return c;
}

float full_speed(const Race& race) {
    const float f = race.friction;
    return f > 0 && f < 1 ? race.acceleration * f / (1 - f) : 0;
}

float seconds_ahead(const Race& race, int r, int cx, int cy) {
    if (r < 0 || r >= RACERS) return 0;
    // Forward is against (sin h, cos h): the speed of a racer driving on is negative.
    const double h = wrap_degrees((double)race.balls[0].heading[r]) / DEG;
    const double dx = -std::sin(h), dy = -std::cos(h);
    const double x = view_half_width(race) + cx + race.balls[0].x[r];
    const double y = view_half_height(race) + cy + race.balls[0].y[r];
    double t = 1e9;
    if (dx > 1e-9) t = std::fmin(t, (race.view_width - x) / dx);
    if (dx < -1e-9) t = std::fmin(t, -x / dx);
    if (dy > 1e-9) t = std::fmin(t, (race.view_height - y) / dy);
    if (dy < -1e-9) t = std::fmin(t, -y / dy);
    const double per_second = full_speed(race) * 50.0;
    return per_second > 0 && t > 0 ? (float)(t / per_second) : 0;
}
