// SPDX-License-Identifier: GPL-3.0-or-later
// Program-wide state and its start values.
#include "core/state.h"

// All for the whole run, from reset_program_state() at start-up.
int game_screen = SCREEN_MENU;
RaceSettings race_settings;
bool two_players = false;
bool full_game = false;   // set once from the command line
int menu_cursor = 0;
Random setup_random = make_random(1);
void (*window_size_hook)(int w, int h) = nullptr;   // set once by start-up

void reset_program_state() {
    game_screen = SCREEN_MENU;
    race_settings.chain_length[0] = 7;
    race_settings.chain_length[1] = 2;
    race_settings.chain_length[2] = 5;
    race_settings.laps = 3;
    race_settings.level_index = 0;
    race_settings.music_on = true;
    two_players = false;
    race_settings.difficulty = DIFFICULTY_CLASSIC;
    race_settings.off_road = 0;   // Free
    menu_cursor = 0;
}

void resize_window(int w, int h) {
    if (window_size_hook) window_size_hook(w, h);
}

void back_to_menu() {
    game_screen = SCREEN_MENU;
    resize_window(500, 500);
}

void wrap_cursor(int& cursor, int last) {
    if (cursor > last) cursor = 0;
    if (cursor < 0) cursor = last;
}
