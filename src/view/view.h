// The race on screen: rotation tables, the track, ball and marker drawing
// in the views, the race frame with its lap display, and the countdown,
// pause and race-end overlays. Owns the rotation tables (made at start-up,
// kept for the whole run) and `paused`.
#pragma once

#include <SDL/SDL.h>

extern SDL_Surface* rotated_images[4][360];
void build_rotation_tables(SDL_Surface* ball_images[4]);   // frees the sources
void free_rotation_tables();
// The darkened picture the overlays keep between passes, freed at shut-down.
void free_overlay_picture();

// Rotation table entry for a heading: truncated, wrapped when outside 0..359.
int sprite_angle(float heading);

// The grid into view 1 (the window) and, in two-player mode, view 2, each
// with its own camera.
void draw_track();
// Ball pictures are 26 x 26, drawn with their centre on the ball's place.
constexpr int BALL_HALF_SIZE = 13;
void draw_ball(int r, int b);
void draw_checkpoint_marker(int k);
void draw_lap_display();
void compose_views();

extern bool paused;

void start_countdown();
void pause_check(const Uint8* keys);
void race_end_check();
void race_end_screen();

// One race frame (game_screen 2).
void race_frame();

// What the gamepads mean now (PADS_* of core/pads.h): driving in a running
// race, Start alone in its countdown and pause, menu keys elsewhere.
int pad_mode_now();

// Called after every countdown, pause and race-end pass has been flipped and
// before that pass reads its events; null in the game. Lets the tests look
// at each pass and queue the keys for the next one.
extern void (*overlay_pass_flipped)();
