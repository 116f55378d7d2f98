// The race simulation: racers and their driving, computer drivers, ball
// chains, slowing tiles, checkpoints, laps and the winner. No drawing here:
// the race frame passes hooks for what it draws between the steps.
#pragma once

#include <SDL/SDL.h>

constexpr int RACERS = 3;
constexpr int MAX_BALLS = 10;

struct racer {
    float speed;          // pixels per step; negative drives forward
    int completed_laps;
    int next_waypoint;    // computer drivers (racers 1 and 2)
};
extern racer racers[RACERS];

// Row b is ball b of each racer (row 0 the head); stored coordinates are
// world pixels less half a view.
struct ball_row {
    float x[RACERS];
    float y[RACERS];
    float heading[RACERS];
    float sprite[RACERS];
    float aim[RACERS];
};
extern ball_row balls[MAX_BALLS];

extern float acceleration;             // 1.1
extern float computer_acceleration[RACERS];  // [1] 0.9, [2] 1.05
extern float friction;                 // 0.8

extern int camera_x[2], camera_y[2];   // view 1 and view 2

constexpr int follow_distance = 27;
constexpr int push_distance = 23;

extern unsigned char checkpoint_passed[500][RACERS];
extern int winner;   // 0, or the player number (racer index + 1) who won

int view_half_width();    // screen_leveys / 2
int view_half_height();   // screen_korkeus / 2

// Start values of the race state (program start).
void reset_race_state();

void place_racers();
void step_racers(const Uint8* keys);
// Moves racer r's head along heading h (whole degrees) by its speed.
void move_head(int r, int h);
void drive_computer(int r);
void chain_step(int r, int b);

void reset_race_progress();
void slow_racers_on_cell(int i, int j);
void slow_racers();             // every cell of the grid, in drawing order
void check_finish_line(int r);
void touch_checkpoint(int k);
void update_winner();

int active_racers();     // racers whose chain_length is above 0
int finished_racers();   // racers with completed_laps >= laps
bool race_over();

// What the race frame draws between the simulation steps. Any hook may be null.
struct race_hooks {
    void (*track)();                 // after the racer step (grid drawing)
    void (*ball)(int r, int b);      // right after the ball's chain step
    void (*marker)(int k);           // before touch_checkpoint(k); shows and clears lit
};

// Race frame steps 3 to 12: racer step, slowing, finish lines, chains,
// checkpoints. Checkpoints' lit flags are cleared before each touch when no
// marker hook does it.
void simulate_step(const Uint8* keys, const race_hooks* hooks);

// ---------------------------------------------------------------------------
// Helpers shared by the race files.

// Chain length of racer r from the settings, kept within 0..MAX_BALLS.
int racer_length(int r);

// Float pixel position to a whole pixel, truncated toward zero. Values past
// the int range saturate and a not-a-number reads as 0, so a damaged
// position can never make the conversion undefined.
inline int trunc_px(float v) {
    if (v >= -2147483648.0f && v < 2147483648.0f) return (int)v;
    if (v > 0.0f) return 2147483647;
    if (v < 0.0f) return -2147483647 - 1;
    return 0;
}
