// The race on screen: rotation tables, ball and marker drawing, the views,
// the race frame with its lap display, and the countdown, pause and race-end
// overlays.
#pragma once

#include <SDL/SDL.h>

extern SDL_Surface* rotated_images[4][360];
void build_rotation_tables(SDL_Surface* ball_images[4]);   // frees the sources
void free_rotation_tables();

// Rotation table entry for a heading: truncated, wrapped when outside 0..359.
int sprite_angle(float heading);

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

// Called after every countdown, pause and race-end pass has been flipped and
// before that pass reads its events; null in the game. Lets the tests look
// at each pass and queue the keys for the next one.
extern void (*overlay_pass_flipped)();

// Wraps level_index into 0..last_level_index after Left or Right on the
// settings and race-end screens. With a catalogue holding no '#'-closed name
// it stays at 0, so it never names a negative entry.
void wrap_level_index();
