// SPDX-License-Identifier: GPL-3.0-or-later
// The main menu and the settings screen, with their animated background.
// Owns `background_phase`, which runs on for the whole run.
#pragma once

#include <SDL/SDL.h>

#include <functional>

#include "core/screen.h"

extern int background_phase;   // start 2000, +2 a frame

// Colour of background point (x, y) at phase P, as 0xRRGGBB.
Uint32 background_colour(int x, int y, int phase);
// Draws the background onto the window and advances background_phase by 2.
void draw_background();
// Frame steps shared by both menus: black window, background, logo at (68, 50).
void menu_backdrop();

// One frame of a menu on `cursor`: the backdrop with the menu's own
// drawing shown, then its events: Up and Down move the cursor, and any
// other key pressed goes to `on_key`. Then the cursor is wrapped into
// 0..last, `after` (if any) keeps the menu's values in range, and the frame
// is paced. True when the close button (or a quit signal) came.
bool menu_pass(int& cursor, const std::function<void()>& draw, const std::function<void(SDLKey key)>& on_key,
               int last, const std::function<void()>& after = nullptr);
// The same frame for a screen that reads every event itself (Up and Down
// included).
bool menu_pass_events(int& cursor, const std::function<void()>& draw,
                      const std::function<void(const SDL_Event& e)>& on_event, int last,
                      const std::function<void()>& after = nullptr);

// The classic menus' frame: menu_pass on the shared menu_cursor, the close
// button setting game_screen in the order the events came.
void classic_menu_pass(void (*draw)(), void (*on_key)(SDLKey key), int last, void (*after)());

// Parts of the settings screen that the full game's settings share: the
// music's toggle, Left and Right on entries 0 to 4 (lengths, laps, level),
// a length's button at height y under `cursor`, and laps and level kept in range.
void toggle_music();
void change_race_setting(int entry, int step);
void length_button(int cursor, int entry, int y);
void keep_in_range();

// One frame of the classic main menu and settings screen, on the shared
// menu_cursor; they leave by game_screen.
void menu_frame();
void settings_frame();

// What the classic and the full main menus share: their kind, and what
// entering one does (the menus' window; a pad plugged in since works from
// each return to the main menu).
struct MainMenuScreen : Screen {
    int kind() const override;
    void enter() override;
};

// The bottom screen of a run: the classic main menu, or with the full
// game's state (chainball --extras) the full game's.
struct FullGameRun;
ScreenPtr make_main_menu(FullGameRun* full = nullptr);
// The classic settings screen (the full game's: menu/full_game.h).
ScreenPtr make_classic_settings();
