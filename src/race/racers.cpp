// SPDX-License-Identifier: GPL-3.0-or-later
// Racers: start placement, human driving, movement, friction, cameras and
// the head clamp.
#include "base/arith.h"
#include "base/trig.h"
#include "race/race.h"
#include "race/race_local.h"
#include "race/racing_adapter.h"

int racer_length(const Race& race, int r) {
    if (r < 0 || r >= RACERS) return 0;
    return race.lengths[r];
}

void place_racers(Race& race, const Track& track, Random& random) {
    const int hw = view_half_width(race);
    const int hh = view_half_height(race);
    for (int r = 0; r < RACERS; r++) {
        for (int b = 0; b < racer_length(race, r); b++) {
            BallRow& row = race.balls[b];
            // One draw per ball, in this order: the pictures follow the
            // draws the loader made for the slowing cells.
            row.sprite[r] = (float)((random_next(random) % 4000) / 1000);
            row.x[r] = (float)(track.finish_x + 23 + 27 * r - hw);
            row.y[r] = (float)(track.finish_y + 35 + 27 * b - hh);
            row.heading[r] = 0.0f;
        }
    }
}

void move_head(Race& race, int r, int h) {
    const double s = race.racers[r].speed;
    BallRow& head = race.balls[0];
    head.x[r] = (float)(head.x[r] + sine_of_degrees(h) * s);
    head.y[r] = (float)(head.y[r] + cosine_of_degrees(h) * s);
}

static void drive_human(Race& race, int r, unsigned actions) {
    float& heading = race.balls[0].heading[r];
    float& speed = race.racers[r].speed;
    if (actions & ACTION_LEFT) heading += 5;
    if (actions & ACTION_RIGHT) heading -= 5;
    if (actions & ACTION_FORWARD) speed -= race.acceleration;
    if (actions & ACTION_BACK) speed += race.acceleration;
    const int h = wrap_degrees((double)heading);
    heading = (float)h;
    move_head(race, r, h);
}

void follow_camera(const Race& race, const Track& track, int r, int& cx_out, int& cy_out) {
    cx_out = -trunc_px(race.balls[0].x[r]);
    cy_out = -trunc_px(race.balls[0].y[r]);
    clamp_camera(race, track, cx_out, cy_out);
}

void clamp_camera(const Race& race, const Track& track, int& cx_out, int& cy_out) {
    const int n = track.size;
    int cx = cx_out, cy = cy_out;
    if (cx > 0) cx = 0;
    if (cy > 0) cy = 0;
    // The lower bound comes last: a grid smaller than the view sits against
    // its right and bottom edges.
    if (cx < race.view_width - 50 * n) cx = race.view_width - 50 * n;
    if (cy < race.view_height - 50 * n) cy = race.view_height - 50 * n;
    cx_out = cx;
    cy_out = cy;
}

static void follow_with_camera(Race& race, const Track& track, int view, int r) {
    follow_camera(race, track, r, race.camera_x[view], race.camera_y[view]);
}

static void clamp_head(Race& race, const Track& track, int r) {
    const int n = track.size;
    const int hw = view_half_width(race);
    const int hh = view_half_height(race);
    float& x = race.balls[0].x[r];
    float& y = race.balls[0].y[r];
    if (x > (float)(50 * n - hw)) x = (float)(50 * n - hw);
    if (y > (float)(50 * n - hh)) y = (float)(50 * n - hh);
    if (x < (float)(-hw)) x = (float)(-hw);
    if (y < (float)(-hh)) y = (float)(-hh);
}

// A computer racer: the Classic driver, or a Good or Expert one on the
// human controls.
static void drive_computer_racer(Race& race, const Track& track, int r) {
    const RacingLine* line = racing_line_of(race, track, r);
    if (!line) return drive_computer(race, track, r);
    drive_human(race, r, (unsigned)racing_driver_bits(race, *line, r));
}

void step_racers(Race& race, const Track& track, RaceInput input) {
    drive_human(race, 0, input.player[0]);
    if (racer_length(race, 1) > 0) {
        if (race.two_players)
            drive_human(race, 1, input.player[1]);
        else
            drive_computer_racer(race, track, 1);
    }
    if (racer_length(race, 2) > 0) drive_computer_racer(race, track, 2);

    for (Racer& racer : race.racers) racer.speed *= race.friction;

    // Only player 1 has a dead zone; the others decay geometrically.
    float& s = race.racers[0].speed;
    if (s > 0.0f && s < 0.5f) s = 0.0f;
    if (s > -0.5f && s < 0.0f) s = 0.0f;

    // Cameras before the clamp, as the frame draws them.
    follow_with_camera(race, track, 0, 0);
    if (race.two_players) follow_with_camera(race, track, 1, 1);

    // Every head row, taking part or not: the finish and checkpoint tests
    // read them all.
    for (int r = 0; r < RACERS; r++) clamp_head(race, track, r);
}
