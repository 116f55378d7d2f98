// SPDX-License-Identifier: GPL-3.0-or-later
// Computer drivers: follow the track's waypoints, turning 5 degrees a step
// and accelerating every step.
#include "base/arith.h"
#include "race/race.h"
#include "race/race_local.h"

constexpr int waypoint_reach = 49;
constexpr int steering_gate = 10;
constexpr int turn_step = 5;

void drive_computer(Race& race, const Track& track, int r) {
    if (r < 0 || r >= RACERS) return;
    Racer& me = race.racers[r];
    BallRow& head = race.balls[0];

    const int hx = trunc_px(view_half_width(race) + head.x[r]);
    const int hy = trunc_px(view_half_height(race) + head.y[r]);

    // Only a corrupted index could lie outside the list; drive to the first.
    if (me.next_waypoint < 0 || me.next_waypoint >= MAX_WAYPOINTS) me.next_waypoint = 0;
    const waypoint& w = track.waypoints[me.next_waypoint];

    head.aim[r] = (float)(direction_to(hx, hy, w.x, w.y) + 180);
    // This step's aim still points at the waypoint just reached.
    if (distance(hx, hy, w.x, w.y) <= waypoint_reach) me.next_waypoint++;
    if (me.next_waypoint >= track.waypoint_count) me.next_waypoint = 0;

    head.heading[r] = (float)wrap_degrees((double)head.heading[r]);
    const int diff = (int)(wrap_degrees((double)head.aim[r]) - head.heading[r]);

    // The gate looks only to the left: a target up to 10 degrees left of
    // the heading is left alone, one up to 10 degrees right is not.
    if (wrap_degrees((double)(head.aim[r] - head.heading[r])) > steering_gate) {
        if (diff >= -179 && diff <= -1)
            head.heading[r] -= turn_step;
        else if (diff >= 1 && diff <= 179)
            head.heading[r] += turn_step;
        else if (diff > 180)
            head.heading[r] -= turn_step;
        else if (diff < -180)
            head.heading[r] += turn_step;
    }
    // Stored unwrapped (-5 or 360..364); the next driver step wraps it.

    me.speed -= race.computer_acceleration[r];

    move_head(race, r, wrap_degrees((double)head.heading[r]));
}
