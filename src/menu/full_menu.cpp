// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's main menu: the classic menu's look, with its entries in a
// table. A screen of a later feature adds its line here.
#include "io/assets.h"
#include "io/media.h"
#include "core/state.h"
#include "draw/draw.h"
#include "menu/trial.h"
#include "menu/full_game.h"
#include "menu/menu.h"

static void start_one() {
    two_players = false;
    game_screen = SCREEN_LOAD;
}
static void start_two() {
    two_players = true;
    game_screen = SCREEN_LOAD;
}
static void open_online() {
    menu_cursor = 0;   // the form opens on "Host"
    game_screen = SCREEN_ONLINE_FORM;
}
static void open_settings() {
    menu_cursor = 0;   // on the first length, whichever entry opened it
    game_screen = SCREEN_SETTINGS;
}
static void quit() { game_screen = SCREEN_QUIT; }

static const menu_entry FULL_MENU[] = {
    {"Start 1 player", start_one},
    {"Start 2 players", start_two},
    {"Online race", open_online},
    {"Time trial", open_time_trial},
    {"Replays", open_replays},
    {"Records", open_records},
    {"Settings", open_settings},
    {"Quit", quit},
};
static const int FULL_MENU_COUNT = (int)(sizeof FULL_MENU / sizeof FULL_MENU[0]);

int full_menu_entries(const menu_entry** entries) {
    *entries = FULL_MENU;
    return FULL_MENU_COUNT;
}

static void draw_full_menu() {
    for (int i = 0; i < FULL_MENU_COUNT; i++)
        draw_button(screen, 180, 150 + 30 * i, FULL_MENU[i].label, menu_cursor, i, small_font);
}

static void full_menu_key(SDLKey key) {
    if (key == SDLK_ESCAPE) game_screen = SCREEN_QUIT;
    // A cursor momentarily out of range (an arrow in the same frame) does nothing.
    if (key == SDLK_RETURN && menu_cursor >= 0 && menu_cursor < FULL_MENU_COUNT) FULL_MENU[menu_cursor].action();
}

void full_menu_frame() {
    menu_pass(draw_full_menu, full_menu_key, FULL_MENU_COUNT - 1, nullptr);
}
