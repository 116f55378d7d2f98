// SPDX-License-Identifier: GPL-3.0-or-later
// Program-wide state: which screen runs, the race settings, the two-player
// flag, the menu cursor and the random draws of race set-ups. Every value
// here lives for the whole run and starts from reset_program_state(). No
// SDL, so the headless simulator shares it.
#pragma once

#include "base/random.h"
#include "core/difficulty.h"

// The kinds of screen (core/screen.h), and game_screen: the kind of the
// screen on top, which the screen loop keeps. The classic screens leave by
// writing it, as they always have; the full game's screens return what
// they ask for instead. Online races and the full game's own screens come
// after the classic ones; the classic game never sees them.
enum { SCREEN_QUIT = 0, SCREEN_MENU = 1, SCREEN_RACE = 2, SCREEN_SETTINGS = 4, SCREEN_LOAD = 5,
       SCREEN_ONLINE = 6, SCREEN_ONLINE_FORM = 7, SCREEN_KEY_BINDINGS = 10, SCREEN_TIME_TRIAL = 20,
       SCREEN_REPLAYS = 21, SCREEN_RECORDS = 22, SCREEN_RESULTS = 23 };
extern int game_screen;

struct RaceSettings {
    int chain_length[3];   // player 1..3; 0 = does not take part
    int laps;
    int level_index;
    bool music_on;
    // Who drives the computer racers: Classic (the game's own drivers, and
    // the only ones of the plain game), Good or Expert. Set by the full
    // game's settings.
    Difficulty difficulty;
    // Whether driving off the road costs: the race set-up's off_road
    // (OFF_ROAD_* of race/race.h, 0 = Free). Set by the full game's
    // settings; the classic game races Free.
    int off_road;
};
extern RaceSettings race_settings;
extern bool two_players;   // the next race is a two-player race
// The full game (chainball --extras): its menus, settings file, HUD and
// results. False for the whole run of the classic game.
extern bool full_game;
extern int menu_cursor;    // shared by the main menu, settings and race end

// The draws of every race set-up of the run (only pictures depend on them):
// seeded from the time at start-up.
extern Random setup_random;

// Start values of everything above (the random draws excepted).
void reset_program_state();

// Asks for a window of w x h pixels. The shell installs the hook at start-up
// (it opens the window); without it, as in the simulator, nothing happens.
extern void (*window_size_hook)(int w, int h);
void resize_window(int w, int h);

// Leaves a race for the main menu: its 500 x 500 window at once, the menu
// from the next pass of the screen loop.
void back_to_menu();

// Brings a cursor back into 0..last after an Up or Down stepped past an end.
void wrap_cursor(int& cursor, int last);
inline void wrap_menu_cursor(int last) { wrap_cursor(menu_cursor, last); }
