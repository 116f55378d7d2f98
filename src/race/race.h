// SPDX-License-Identifier: GPL-3.0-or-later
// The race rules: set-up, racers and their driving, computer drivers, ball
// chains, slowing cells, checkpoints, laps and the winner. A race is one
// value, `Race`: every rule takes the race it works on and the read-only
// track it is raced on, so a race can be copied (saved), assigned back
// (restored), run beside another and fed from any input. No drawing and no
// SDL here: the race frame passes hooks for what it draws between the steps.
#pragma once

#include <cstdint>
#include <string>

#include "base/random.h"
#include "core/input.h"
#include "race/racing_driver.h"
#include "track/track.h"

constexpr int RACERS = 3;
constexpr int MAX_BALLS = 10;

struct Racer {
    float speed;          // pixels per step; negative drives forward
    int completed_laps;
    int next_waypoint;    // computer drivers (racers 1 and 2)
};

// The clock of one racer, in race steps (20 ms of game time each), kept
// beside the rules: no rule reads it. A step counts from 1, so a lap
// counted in the first step of a race took 1 step. The one lap clock: the
// HUD, the results, the time trial's records and its ghosts read it.
struct LapClock {
    long long lap_started;     // steps run when the current lap began
    long long best_lap;        // steps of the fastest lap so far; 0 before the first
    long long last_lap;        // steps of the lap completed last; 0 before the first
    long long finished;        // steps run when it completed the race's laps; 0 until then
    long long best_lap_from;   // steps run when the fastest lap began
    int best_lap_number;       // which lap it was, from 1; 0 before the first
};


// Row b is ball b of each racer (row 0 the head). Stored coordinates are
// world pixels less half a view: converting them would change the float
// rounding, and so the races.
struct BallRow {
    float x[RACERS];
    float y[RACERS];
    float heading[RACERS];
    float sprite[RACERS];
    float aim[RACERS];
};

struct Race {
    // What this race is, fixed at its set-up.
    int lengths[RACERS];   // balls of each racer, 0..MAX_BALLS; 0 = not taking part
    int laps;
    bool two_players;      // player 2 drives from input, not as a computer driver
    int view_width;        // of one view: 500, or 400 in a two-player race
    int view_height;       // 500
    int difficulty;        // the computer drivers: DIFFICULTY_CLASSIC, _GOOD or _EXPERT
    int off_road;          // OFF_ROAD_FREE or OFF_ROAD_SLOWS

    // What the steps change. A set-up keeps the speeds, player 2's computer
    // acceleration, the cameras and the balls of racers left out from the
    // race before, as the game always has.
    long long step;        // steps run since the set-up
    Racer racers[RACERS];
    BallRow balls[MAX_BALLS];
    float acceleration;                   // 1.1
    float computer_acceleration[RACERS];  // [1] 0.9, [2] 1.05
    float friction;                       // 0.8
    int camera_x[2], camera_y[2];         // view 1 and view 2
    unsigned char checkpoint_passed[MAX_CHECKPOINTS][RACERS];
    // A head came near the checkpoint in the step before; the marker shows
    // it once and the next step clears it.
    unsigned char checkpoint_lit[MAX_CHECKPOINTS];
    int winner;            // 0, or the player number (racer index + 1) who won
    LapClock clocks[RACERS];
    // What the Good and Expert drivers of racers 1 and 2 remember; their
    // racing lines are the track's (track.racing_lines).
    DriverMemory drivers[RACERS];
};

// Whether driving off the road costs. Free: ground is as fast as road.
// Slows: a head on plain ground (see on_plain_ground) has its speed pulled
// towards off_road_factor of the top speed on the road, by at most
// off_road_pull per step, so a racer running onto the grass eases down
// over some steps instead of stopping dead. The pull comes after friction
// and before the slowing cells, which then multiply the speed as always.
enum { OFF_ROAD_FREE = 0, OFF_ROAD_SLOWS = 1 };
constexpr float off_road_factor = 0.65f;
constexpr float off_road_pull = 0.4f;   // pixels per step, taken off per step at most
// The top speed on the road at full throttle: speed = (speed - 1.1) * 0.8
// settles at -4.4.
constexpr float road_top_speed = 4.4f;
constexpr float off_road_top_speed = road_top_speed * off_road_factor;
// "Slows" or "Free", as the full game's screens name a rule.
inline const char* off_road_label(int rule) { return rule == OFF_ROAD_SLOWS ? "Slows" : "Free"; }

constexpr int follow_distance = 27;
constexpr int push_distance = 23;

// The start values of a race at program start: nobody placed or moving.
Race new_race();

// True when two races hold the same bits in every field: what a restored
// race or a race run twice must give.
bool same_race(const Race& a, const Race& b);

// Every field of Race, in order, with whether race_checksum()
// (replay/race_draws.cpp) sums it. same_race() compares each; the static
// assertions beside it fail when Race gains a field this list lacks, so a
// new field is never left out of either unseen.
#define RACE_FIELDS(F)                                                                                  \
    F(lengths, summed) F(laps, not_summed) F(two_players, not_summed) F(view_width, not_summed)        \
    F(view_height, not_summed) F(difficulty, summed) F(off_road, not_summed) F(step, not_summed)      \
    F(racers, summed) F(balls, summed) F(acceleration, not_summed)                                    \
    F(computer_acceleration, not_summed) F(friction, not_summed) F(camera_x, not_summed)               \
    F(camera_y, not_summed) F(checkpoint_passed, not_summed) F(checkpoint_lit, not_summed)             \
    F(winner, not_summed) F(clocks, not_summed) F(drivers, summed)

// What a set-up reads from the settings.
struct RaceSetup {
    int lengths[RACERS];   // cut into 0..MAX_BALLS
    int laps;
    bool two_players;
    int difficulty;        // DIFFICULTY_*; any other value is Classic
    int off_road = 0;      // OFF_ROAD_*; any other value is Free
};

// Sets up `race` on the level file at `path`, loaded into `track`, in the
// order whose random draws make a race repeatable: view size, race
// progress, player 2's acceleration in a two-player race, the level file
// (one draw or more per slowing cell), the computer drivers' first
// waypoint, the placement (one draw per ball), then the racing lines of
// the Good or Expert drivers into `track`. The draws only pick pictures.
void setup_race(Race& race, Track& track, Random& random, const RaceSetup& setup, const char* path);
// The same on a level held in memory (`name` only in messages).
void setup_race_text(Race& race, Track& track, Random& random, const RaceSetup& setup, const char* name,
                     const std::string& text);

// What the race frame draws between the parts of a step: the race screen
// draws through it, and the tests watch the order through it.
struct RaceDrawing {
    virtual ~RaceDrawing() = default;
    virtual void track(const Race& race, const Track& track) = 0;   // after the racer step
    virtual void ball(const Race& race, int r, int b) = 0;         // right after the ball's chain step
    virtual void marker(const Race& race, const Track& track, int k) = 0;   // before checkpoint k's touch
};

// One race step: the racer step, the off-road pull, the slowing, the
// finish line and the chain of each racer in turn, the checkpoints (each marker sees the touch of the
// step before, which is then cleared), and the winner; drawn through
// `drawing` when given.
void race_step(Race& race, const Track& track, RaceInput input, RaceDrawing* drawing = nullptr);

// The parts of a step, for the tests and the track kit.
void place_racers(Race& race, const Track& track, Random& random);
void step_racers(Race& race, const Track& track, RaceInput input);
void drive_computer(Race& race, const Track& track, int r);
void chain_step(Race& race, int r, int b);
void reset_race_progress(Race& race);   // laps, checkpoint flags, winner and clocks
void slow_racers(Race& race, const Track& track);   // the racers with a ball inside a slowing cell
bool ball_in_slowing_cell(const Race& race, const Track& track, int r, int b);   // strictly inside
// Racer r's head is on a cell that is neither road, nor a slowing cell,
// nor a lane the full game draws as road.
bool on_plain_ground(const Race& race, const Track& track, int r);
void pull_off_road(Race& race, const Track& track);   // nothing under Free
void check_finish_line(Race& race, const Track& track, int r);
void touch_checkpoint(Race& race, const Track& track, int k);
void update_winner(Race& race);

int racer_length(const Race& race, int r);
// The name racer `r` goes by: "Player 1", "Player 2" (in a two-player
// race), else its computer driver's, one per slot and difficulty; "" for
// an index outside 0..RACERS-1.
std::string racer_name(const Race& race, int r);
// True when racer `r` completed a lap in the step just run (its clock's lap began with it).
bool lap_completed_now(const Race& race, int r);   // 0 for an index outside 0..RACERS-1
int active_racers(const Race& race);         // racers taking part
int finished_racers(const Race& race);       // racers with completed_laps >= laps
bool race_over(const Race& race);

// The camera of a view that follows racer `r`'s head.
void follow_camera(const Race& race, const Track& track, int r, int& cx, int& cy);
// A camera kept within the track: a grid smaller than the view sits
// against the view's right and bottom edges.
void clamp_camera(const Race& race, const Track& track, int& cx, int& cy);

int view_half_width(const Race& race);
int view_half_height(const Race& race);
