// SPDX-License-Identifier: GPL-3.0-or-later
// The race on screen: the race the game runs (`live_race`, on
// `loaded_track`), the rotation tables, the track, ball and marker drawing
// in the views, the race frame with its lap display, and the countdown,
// pause and race-end overlays as states of the race screen
// (view/race_screen.h). Owns `live_race` and `race_start_ticks` (set up by
// every race screen), the rotation tables (made at start-up, kept for the
// whole run) and `paused`.
#pragma once

#include <SDL/SDL.h>

#include <cstddef>
#include <functional>

#include "race/race.h"
#include "view/camera.h"
#include "view/hud.h"

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

// What a race step draws (race/race.h, RaceDrawing): the grid into view 1 (the window) and, in two-player
// mode, view 2, each with its own camera; a ball; a checkpoint marker.
// `follow`: the racer view 1 follows while a replay is watched (0 to 2); 0
// is the race's own camera.
void draw_track(const Race& race, const Track& track, int follow = 0);
// Ball pictures are 26 x 26, drawn with their centre on the ball's place.
constexpr int BALL_HALF_SIZE = 13;
void draw_ball(const Race& race, int r, int b, int follow = 0);
// Where ball b of racer r is drawn in a view (0 or 1) with the frame's
// cameras: its picture's top left corner; false when it is out of the view.
bool ball_place_in_view(const Race& race, const ViewCameras& cams, int view, int r, int b, int& left, int& top);
// The full game's own ball sets (view/racer_looks.cpp): racer r's picture
// `look` (0 to 3, as the classic palluraS) turned to `angle`; null in the
// classic game or when the set could not be loaded (then the classic balls
// serve). Each human player's badge over its head, in the views, over the balls.
SDL_Surface* racer_ball_image(int r, int look, int angle);
void draw_racer_badges(const Race& race, const ViewCameras& cams);
void free_racer_looks();
void draw_checkpoint_marker(const Race& race, const Track& track, int k, int follow = 0);
// The same with the cameras given (view/camera.h).
void draw_track(const Race& race, const Track& track, const ViewCameras& cams);
void draw_ball(const Race& race, int r, int b, const ViewCameras& cams);
void draw_checkpoint_marker(const Race& race, const Track& track, int k, const ViewCameras& cams);
void draw_lap_display(const Race& race);
void compose_views(const Race& race);

// The overlays. Each shows the frozen frame (the window as the frame that
// opened it left it, darkened) and passes are paced as the overlay's own.
void freeze_frame();
bool countdown_running();          // the race's first four seconds
const char* countdown_label_at(Uint32 since);   // " 3", " 2", " 1", "GO!" at `since` ms from the start
int countdown_label_index(Uint32 since);        // which of them: 0 to 3
void countdown_pass();
extern bool paused;                // while the pause runs
void pause_pass();
void open_race_end();              // over what frozen_frame holds
bool race_end_running();
void race_end_pass();

// A see-through chain in the ghost's own colour, drawn in view 1 (and view
// 2) with the cameras the live race is drawn with: racer 0 of `ghost_race`.
void draw_ghost(const Race& live, const Race& ghost_race, const ViewCameras& cams);

// One pass of an overlay: the darkened frozen picture with `draw`'s drawing
// of `look` (a value that tells every different picture of the overlay
// apart) on it is shown, then every queued event goes to `on_event`. A pass
// that would draw what the last one drew shows the picture as still
// (nothing sent). The caller paces the pass.
// `who` tells the overlays apart (any address of the overlay's own).
void overlay_pass(const void* who, long long look, const std::function<void(long long look)>& draw,
                  const std::function<void(const SDL_Event& e)>& on_event);

// The full game's race (view/full_race.cpp): its own pause with a way
// out, and the results (view/race_screen.h); its HUD is view/hud.h.
// A race time as "m:ss.cc" from a count of race steps of 20 ms.
void format_race_time(long long steps, char* out, size_t size);
// The full game's pause over the frozen frame: Continue or Leave race (in a
// cup's race, `cup`: Keep racing or Abandon race), the cursor the race
// screen's. A pass returns true when the player chose to leave the race.
void open_full_pause(int& cursor);
bool full_pause_pass(int& cursor, bool cup = false);
// Every human racer has finished (or the race is over): time for the results.
bool results_due(const Race& race);
// Then the computer racers still out race on without drawing, at most this
// many steps (five minutes of race time, a fraction of a second to run);
// one still out after them did not finish.
constexpr long long RUN_ON_STEPS = 15000;
// The finishing order: racers taking part, finished ones by their finishing
// step (lower index first on a tie), then those still driving by index.
int finishing_order(const Race& race, int order[RACERS]);

// What the gamepads mean now (PADS_* of io/pads.h): driving in a running
// race, Start alone in its countdown and pause, menu keys elsewhere.
int pad_mode_now();

// Called after every countdown, pause and race-end pass has been flipped and
// before that pass reads its events; null in the game. Lets the tests look
// at each pass and queue the keys for the next one.
extern void (*overlay_pass_flipped)();
