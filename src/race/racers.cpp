// Racers: start placement, human driving, movement, friction, cameras and
// the head clamp.
#include <cmath>
#include <cstdlib>

#include "core/state.h"
#include "draw/arith.h"
#include "race/race.h"
#include "race/race_local.h"
#include "race/racing_adapter.h"
#include "track/track.h"

int racer_length(int r) {
    if (r < 0 || r >= RACERS) return 0;
    int n = race_settings.chain_length[r];
    if (n < 0) return 0;
    if (n > MAX_BALLS) return MAX_BALLS;
    return n;
}

void place_racers() {
    const int hw = view_half_width();
    const int hh = view_half_height();
    for (int r = 0; r < RACERS; r++) {
        for (int b = 0; b < racer_length(r); b++) {
            // One rand() per ball, in this order: the sprites follow the
            // draws the loader made for the slowing cells.
            balls[b].sprite[r] = (float)((rand() % 4000) / 1000);
            balls[b].x[r] = (float)(track.finish_x + 23 + 27 * r - hw);
            balls[b].y[r] = (float)(track.finish_y + 35 + 27 * b - hh);
            balls[b].heading[r] = 0.0f;
        }
    }
    prepare_racing_drivers();
}

void move_head(int r, int h) {
    const double s = racers[r].speed;
    balls[0].x[r] = (float)(balls[0].x[r] + std::sin(h / DEG) * s);
    balls[0].y[r] = (float)(balls[0].y[r] + std::cos(h / DEG) * s);
}

static void drive_human(int r, bool left, bool right, bool forward, bool backward) {
    if (left) balls[0].heading[r] += 5;
    if (right) balls[0].heading[r] -= 5;
    if (forward) racers[r].speed -= acceleration;
    if (backward) racers[r].speed += acceleration;
    const int h = wrap_degrees((double)balls[0].heading[r]);
    balls[0].heading[r] = (float)h;
    move_head(r, h);
}

static void follow_with_camera(int view, int r) {
    const int n = track.size;
    int cx = -trunc_px(balls[0].x[r]);
    int cy = -trunc_px(balls[0].y[r]);
    if (cx > 0) cx = 0;
    if (cy > 0) cy = 0;
    // The lower bound comes last: a grid smaller than the view sits against
    // its right and bottom edges.
    if (cx < view_width - 50 * n) cx = view_width - 50 * n;
    if (cy < view_height - 50 * n) cy = view_height - 50 * n;
    camera_x[view] = cx;
    camera_y[view] = cy;
}

static void clamp_head(int r) {
    const int n = track.size;
    const int hw = view_half_width();
    const int hh = view_half_height();
    float& x = balls[0].x[r];
    float& y = balls[0].y[r];
    if (x > (float)(50 * n - hw)) x = (float)(50 * n - hw);
    if (y > (float)(50 * n - hh)) y = (float)(50 * n - hh);
    if (x < (float)(-hw)) x = (float)(-hw);
    if (y < (float)(-hh)) y = (float)(-hh);
}

// A computer racer: the Classic driver, or a Good or Expert one on the
// human controls.
static void drive_computer_racer(int r) {
    if (!racing_driver_drives(r)) return drive_computer(r);
    const int bits = racing_driver_bits(r);
    drive_human(r, bits & DRIVE_LEFT, bits & DRIVE_RIGHT, bits & DRIVE_FORWARD, bits & DRIVE_BACK);
}

void step_racers(const Uint8* keys) {
    static const Uint8 no_keys[SDLK_LAST] = {};
    if (!keys) keys = no_keys;

    drive_human(0, keys[SDLK_LEFT], keys[SDLK_RIGHT], keys[SDLK_UP], keys[SDLK_DOWN]);
    if (racer_length(1) > 0) {
        if (two_players)
            drive_human(1, keys[SDLK_a], keys[SDLK_d], keys[SDLK_w], keys[SDLK_s]);
        else
            drive_computer_racer(1);
    }
    if (racer_length(2) > 0) drive_computer_racer(2);

    for (int r = 0; r < RACERS; r++) racers[r].speed *= friction;

    // Only player 1 has a dead zone; the others decay geometrically.
    float& s = racers[0].speed;
    if (s > 0.0f && s < 0.5f) s = 0.0f;
    if (s > -0.5f && s < 0.0f) s = 0.0f;

    // Cameras before the clamp, as the frame draws them.
    follow_with_camera(0, 0);
    if (two_players) follow_with_camera(1, 1);

    // Every head row, taking part or not: the finish and checkpoint tests
    // read them all.
    for (int r = 0; r < RACERS; r++) clamp_head(r);
}
