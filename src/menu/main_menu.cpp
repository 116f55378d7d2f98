// SPDX-License-Identifier: GPL-3.0-or-later
// The main menu: start a race for one or two players, settings, quit.
#include "io/assets.h"
#include "io/media.h"
#include "io/pads.h"
#include "core/state.h"
#include "draw/draw.h"
#include "menu/full_game.h"
#include "menu/menu.h"
#include "view/race_screen.h"

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
    classic_menu_pass(draw_menu, menu_key, 3, nullptr);
}

int MainMenuScreen::kind() const { return SCREEN_MENU; }

void MainMenuScreen::enter() {
    resize_window(500, 500);
    open_pads();
}

namespace {

// The classic screens as objects: each runs its frame on the shared
// cursor, and what the frame wrote into game_screen becomes the change.
class ClassicSettingsScreen : public Screen {
public:
    int kind() const override { return SCREEN_SETTINGS; }
    ScreenChange frame() override {
        settings_frame();
        if (game_screen == SCREEN_QUIT) return quit_game();
        return game_screen == SCREEN_SETTINGS ? stay_on_screen() : go_back();
    }
};

class ClassicMenuScreen : public MainMenuScreen {
public:
    ScreenChange frame() override {
        menu_frame();
        switch (game_screen) {
            case SCREEN_QUIT: return quit_game();
            case SCREEN_SETTINGS: return open_screen(make_classic_settings());
            case SCREEN_LOAD: return open_screen(make_race_screen(plan_from_settings()));
            default: return stay_on_screen();
        }
    }
};

}  // namespace

ScreenPtr make_classic_settings() { return ScreenPtr(new ClassicSettingsScreen()); }

ScreenPtr make_main_menu(FullGameRun* run) {
    if (run) return make_full_menu(*run);
    return ScreenPtr(new ClassicMenuScreen());
}
