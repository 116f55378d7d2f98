// SPDX-License-Identifier: GPL-3.0-or-later
// The race on screen: the race the game runs (`live_race`, on
// `loaded_track`), the rotation tables, the track, ball and marker drawing
// in the views, the race frame with its lap display, and the countdown,
// pause and race-end overlays as states of the race screen. Owns
// `live_race` and `race_start_ticks` (set up by every level load), the
// rotation tables (made at start-up, kept for the whole run) and `paused`.
#pragma once

#include <SDL/SDL.h>

#include <cstddef>

#include "race/race.h"

extern Race live_race;
extern Uint32 race_start_ticks;   // when the race on screen started: the countdown's clock

extern SDL_Surface* rotated_images[4][360];
void build_rotation_tables(SDL_Surface* ball_images[4]);   // frees the sources
void free_rotation_tables();
// The darkened picture the overlays keep between passes, freed at shut-down.
void free_overlay_picture();
// Anything but an overlay pass drew into `screen`: the next pass draws anew.
void forget_overlay_picture();

// Rotation table entry for a heading: truncated, wrapped when outside 0..359.
int sprite_angle(float heading);

// The race's hooks: the grid into view 1 (the window) and, in two-player
// mode, view 2, each with its own camera; a ball; a checkpoint marker.
void draw_track(const Race& race, const Track& track);
// Ball pictures are 26 x 26, drawn with their centre on the ball's place.
constexpr int BALL_HALF_SIZE = 13;
void draw_ball(const Race& race, int r, int b);
void draw_checkpoint_marker(const Race& race, const Track& track, int k);
void draw_lap_display();
void compose_views();

// Screen state 5: the race set-up on the chosen level from the settings,
// then the race starts (race_start_ticks) and game_screen becomes 2.
void load_level();

// The overlays. Each shows the frozen frame (the window as the frame that
// opened it left it, darkened) and passes are paced as the overlay's own.
void freeze_frame();
bool countdown_running();          // the race's first four seconds
void countdown_pass();
extern bool paused;                // while the pause runs
void check_pause(const Uint8* keys);   // Ctrl+P held: opens the pause
void pause_pass();
void open_race_end();              // over what frozen_frame holds
bool race_end_running();
void race_end_pass();

// The race screen (game_screen 2), one pass of the screen loop at a time: a
// race frame, or a pass of the overlay a race frame has open. While a frame
// is open the screen loop keeps passing here, even when the overlay has
// already changed game_screen: every frame is completed.
void race_screen_pass();
bool race_frame_open();
// One whole race frame with every overlay pass it opens.
void race_frame();

// What the full game adds to a race frame (the time trial, ghosts): null in
// the classic game, and any member may be null.
struct race_frame_addons {
    void (*set_up)(const Race& race, const Track& track);   // after each level load's set-up
    void (*under_balls)(const Race& race);                  // after the track is drawn
    void (*stepped)(const Race& race, RaceInput input);     // after each race step
    void (*over_views)(const Race& race);                   // after the lap display
};
extern const race_frame_addons* frame_addons;

// Watching a replay: race steps per frame (1, 2, 4 or 8: fast-forward
// re-simulates more steps in a frame) and the racer view 1 follows (0 to 2).
// Both go back to 1 and 0 when the watched race is left.
extern int watch_speed;
extern int watch_follows;
// A see-through chain in the ghost's own colour, drawn in view 1 (and view
// 2) with the live race's cameras: racer 0 of `ghost_race`.
void draw_ghost(const Race& live, const Race& ghost_race);

// One pass of an overlay: the darkened frozen picture with `draw`'s drawing
// of `look` (a value that tells every different picture of the overlay
// apart) on it is shown, then every queued event goes to `on_event`. A pass
// that would draw what the last one drew shows the picture as still
// (nothing sent). The caller paces the pass.
void overlay_pass(void (*draw)(long long look), long long look, void (*on_event)(const SDL_Event& e));

// The full game's race (view/full_race.cpp): the clock in each view, its
// own pause with a way out, and the results instead of the race-end screen.
// A race time as "m:ss.cc" from a count of race steps of 20 ms.
void format_race_time(long long steps, char* out, size_t size);
// The clock of view 1 (player 1) and, in a two-player race, view 2: race
// time, this lap's time, the best lap, and a mark for each checkpoint, lit
// once passed on this lap. Top right of each view, clear of the lap display.
void draw_race_hud();
void free_race_hud();
// Opens the full game's pause when its key (or a pad's Start or bound
// button) was pressed in this frame.
void check_full_pause(const Uint8* keys);
void full_pause_pass();
// Every human racer has finished (or the race is over): time for the results.
bool results_due(const Race& race);
// The finishing order: racers taking part, finished ones by their finishing
// step (lower index first on a tie), then those still driving by index.
int finishing_order(const Race& race, int order[RACERS]);
void open_results();
bool results_running();
void results_pass();

// What the gamepads mean now (PADS_* of io/pads.h): driving in a running
// race, Start alone in its countdown and pause, menu keys elsewhere.
int pad_mode_now();

// Called after every countdown, pause and race-end pass has been flipped and
// before that pass reads its events; null in the game. Lets the tests look
// at each pass and queue the keys for the next one.
extern void (*overlay_pass_flipped)();
