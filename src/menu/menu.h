// SPDX-License-Identifier: GPL-3.0-or-later
// The main menu and the settings screen, with their animated background.
// Owns `background_phase`, which runs on for the whole run.
#pragma once

#include <SDL/SDL.h>

extern int background_phase;   // start 2000, +2 a frame

// Colour of background point (x, y) at phase P, as 0xRRGGBB.
Uint32 background_colour(int x, int y, int phase);
// Draws the background onto the window and advances background_phase by 2.
void draw_background();
// Frame steps shared by both menus: black window, background, logo at (68, 50).
void menu_backdrop();

// One frame of a menu: the backdrop with the menu's own drawing shown, then
// its events: the close button quits, Up and Down move the cursor, and any
// other key pressed goes to `on_key`. Then the cursor is wrapped into
// 0..last, `after` (if any) keeps the menu's values in range, and the frame
// is paced.
void menu_pass(void (*draw)(), void (*on_key)(SDLKey key), int last, void (*after)());
// The same frame for a screen that reads every event itself (the close
// button and Up and Down included).
void menu_pass_events(void (*draw)(), void (*on_event)(const SDL_Event& e), int last, void (*after)());

// Parts of the settings screen that the full game's settings share: the
// music's toggle, Left and Right on entries 0 to 4 (lengths, laps, level),
// a length's button at height y, and laps and level kept in range.
void toggle_music();
void change_race_setting(int entry, int step);
void length_button(int entry, int y);
void keep_in_range();

void menu_frame();
void settings_frame();
// The full game's online race form: Host, or Join with a typed address.
void online_form_frame();
