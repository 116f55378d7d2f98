// The main menu: start a race for one or two players, settings, quit.
#include "core/assets.h"
#include "core/events.h"
#include "core/media.h"
#include "core/present.h"
#include "core/state.h"
#include "draw/clock.h"
#include "draw/draw.h"
#include "menu/menu.h"

static const char* const MENU_LABELS[4] = {"Start 1 player", "Start 2 players", "Settings", "Quit"};

static void menu_enter(int entry) {
    switch (entry) {
        case 0: kaksinpeli = false; game_screen = SCREEN_LOAD; break;
        case 1: kaksinpeli = true; game_screen = SCREEN_LOAD; break;
        case 2: game_screen = SCREEN_SETTINGS; break;
        case 3: game_screen = SCREEN_QUIT; break;
        default: break;   // cursor momentarily out of range: nothing
    }
}

void menu_frame() {
    FPS();
    menu_backdrop();
    for (int i = 0; i < 4; i++) nappula(screen, 180, 150 + 30 * i, MENU_LABELS[i], menu_cursor, i, small_font);
    show_frame();

    SDL_Event e;
    while (next_event(e)) {
        if (e.type == SDL_QUIT) game_screen = SCREEN_QUIT;
        if (e.type != SDL_KEYDOWN) continue;
        switch (e.key.keysym.sym) {
            case SDLK_ESCAPE: game_screen = SCREEN_QUIT; break;
            case SDLK_UP: menu_cursor--; break;
            case SDLK_DOWN: menu_cursor++; break;
            case SDLK_RETURN: menu_enter(menu_cursor); break;
            default: break;
        }
    }
    wrap_menu_cursor(3);

    menu_pacing();
}
