// The race simulation: the race set-up, racers and their driving, computer
// drivers, ball chains, slowing tiles, checkpoints, laps and the winner. No
// drawing here: the race frame passes hooks for what it draws between the
// steps. Owns the racers, the balls, the cameras, the checkpoint flags and
// `winner`: placed or reset by every race set-up, changed by every step,
// kept between races otherwise.
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

int view_half_width();    // view_width / 2
int view_half_height();   // view_height / 2

// Start values of the race state (program start).
void reset_race_state();

// Sets up a race on the level file at `path` for the settings and mode in
// core/state.h, in the order whose rand() draws make a race repeatable:
// view and window size, race progress, player 2's acceleration in a
// two-player race, the level file (one draw or more per slowing cell), the
// computer drivers' first waypoint, the placement (one draw per ball).
void setup_race(const char* path);

// Screen state 5: the race set-up on the chosen level, then the race
// starts (race_start_ticks) and game_screen becomes 2.
void load_level();

void place_racers();
void step_racers(const Uint8* keys);
void drive_computer(int r);
void chain_step(int r, int b);

void reset_race_progress();
void slow_racers();             // the racers with a ball inside a slowing cell
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

// One race step: the racer step, the slowing, the finish line and the chain
// of each racer in turn, the checkpoints. Checkpoints' lit flags are cleared before each touch when no
// marker hook does it.
void simulate_step(const Uint8* keys, const race_hooks* hooks);

// Chain length of racer r from the settings, kept within 0..MAX_BALLS.
int racer_length(int r);
