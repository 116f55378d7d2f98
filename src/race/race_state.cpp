// The race state and its start values.
#include <cstring>

#include "core/state.h"
#include "race/race.h"

// All live for the whole run; set-up and steps change them.
racer racers[RACERS];
ball_row balls[MAX_BALLS];
float acceleration;
float computer_acceleration[RACERS];
float friction;
int camera_x[2], camera_y[2];
unsigned char checkpoint_passed[500][RACERS];
int winner;

int view_half_width() { return view_width / 2; }
int view_half_height() { return view_height / 2; }

void reset_race_state() {
    for (racer& r : racers) r = racer{};
    // Rows of racers that never take part are read by the head clamp and the
    // finish and checkpoint tests; zeros keep them harmless.
    for (ball_row& row : balls) row = ball_row{};
    acceleration = 1.1f;
    computer_acceleration[0] = 0.0f;
    computer_acceleration[1] = 0.9f;
    computer_acceleration[2] = 1.05f;
    friction = 0.8f;
    camera_x[0] = camera_x[1] = camera_y[0] = camera_y[1] = 0;
    std::memset(checkpoint_passed, 0, sizeof checkpoint_passed);
    winner = 0;
}
