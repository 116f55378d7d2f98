// SPDX-License-Identifier: GPL-3.0-or-later
// The main menu: start a race for one or two players, settings, quit.
#include "core/state.h"
#include "draw/draw.h"
#include "io/assets.h"
#include "io/media.h"
#include "menu/menu.h"

static const char* const MENU_LABELS[4] = {"Start 1 player", "Start 2 players", "Settings", "Quit"};

static void menu_enter(int entry) {
    switch (entry) {
        case 0: two_players = false; game_screen = SCREEN_LOAD; break;
        case 1: two_players = true; game_screen = SCREEN_LOAD; break;
        case 2: game_screen = SCREEN_SETTINGS; break;
        case 3: game_screen = SCREEN_QUIT; break;
        default: break;   // cursor momentarily out of range: nothing
    }
}

static void draw_menu() {
    for (int i = 0; i < 4; i++) draw_button(screen, 180, 150 + 30 * i, MENU_LABELS[i], menu_cursor, i, small_font);
}

static void menu_key(SDLKey key) {
    if (key == SDLK_ESCAPE) game_screen = SCREEN_QUIT;
    if (key == SDLK_RETURN) menu_enter(menu_cursor);
}

void menu_frame() {
    menu_pass(draw_menu, menu_key, 3, nullptr);
}
