#include <SDL/SDL_gfxPrimitives.h>

#include <cstdio>

#include "draw/draw.h"
#include "race/race.h"
#include "shell/clock.h"
#include "shell/shell.h"
#include "track/track.h"
#include "view/view.h"

bool paused = false;
void (*overlay_pass_flipped)() = nullptr;

// The picture every overlay pass shows: the frame that started the overlay,
// darkened.
static void freeze_frame() {
    SDL_Rect at = {0, 0, 0, 0};
    SDL_BlitSurface(screen, nullptr, frozen_frame, &at);
}

static void overlay_picture() {
    FPS();
    SDL_FillRect(screen, nullptr, 0);
    SDL_Rect at = {0, 0, 0, 0};
    SDL_BlitSurface(frozen_frame, nullptr, screen, &at);
    boxRGBA(screen, 0, 0, (Sint16)(2 * screen_leveys), (Sint16)screen_korkeus, 0, 0, 0, 125);
}

static void flip_overlay() {
    SDL_Flip(screen);
    if (overlay_pass_flipped) overlay_pass_flipped();
}

void wrap_level_index() {
    int& level = race_settings.level_index;
    if (level > last_level_index) level = 0;
    if (level < 0) level = last_level_index >= 0 ? last_level_index : 0;
}

// Unsigned on purpose: a start moved into the future reads as a huge time
// and ends the countdown at its next test.
static Uint32 since_start() {
    return game_ticks() - race_start_ticks;
}

void start_countdown() {
    if (since_start() <= 3999) freeze_frame();
    while (since_start() <= 3999) {
        overlay_picture();
        Uint32 t = since_start();
        const char* label = t <= 999 ? " 3" : t <= 1999 ? " 2" : t <= 2999 ? " 1" : "GO!";
        text2(screen, kaksinpeli ? 370 : 230, 240, label, large_font);
        flip_overlay();

        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            if (e.type == SDL_QUIT) {
                game_screen = SCREEN_QUIT;
                race_start_ticks = game_ticks() + 4000;
            }
            if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE) {
                game_screen = SCREEN_MENU;
                race_start_ticks = game_ticks() + 4000;
                set_video_mode(500, 500);
            }
        }
        top_up(10);
    }
}

void pause_check(const Uint8* keys) {
    if (keys && (keys[SDLK_LCTRL] || keys[SDLK_RCTRL])) {
        // While Ctrl is held only P counts; everything else in the queue is dropped.
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_p) {
                freeze_frame();
                paused = true;
            }
        }
    }
    const int x = kaksinpeli ? 390 : 240;
    while (paused) {
        overlay_picture();
        text2(screen, x - 50, 240, "Pause", large_font);
        text(screen, x - 40, 280, "p to continue", small_font);
        flip_overlay();

        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            if (e.type == SDL_QUIT) {
                game_screen = SCREEN_QUIT;
                paused = false;
            }
            if (e.type == SDL_KEYDOWN && (e.key.keysym.sym == SDLK_ESCAPE || e.key.keysym.sym == SDLK_p))
                paused = false;
        }
        top_up(10);
    }
}

void race_end_check() {
    if (finished_racers() >= active_racers()) {
        freeze_frame();
        race_end_screen();
    }
}

static void race_end_pass() {
    overlay_picture();
    nappula(screen, 180, 150, "Level:", menu_cursor, 0, small_font);
    nappula(screen, 180, 180, "Ok", menu_cursor, 1, small_font);
    nappula(screen, 180, 210, "Menu", menu_cursor, 2, small_font);
    textv(screen, 230, 153, chosen_level_name(), small_font);
    if (winner >= 1 && winner <= 3) {
        snprintf(bfr, sizeof bfr, "Player %d won!", winner);
        text2(screen, 125, 50, bfr, large_font);
    }
    flip_overlay();
}

void race_end_screen() {
    bool open = true;
    while (open) {
        race_end_pass();

        // Every queued event counts, even after one of them has closed the screen.
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            if (e.type == SDL_QUIT) {
                game_screen = SCREEN_QUIT;
                open = false;
            }
            if (e.type != SDL_KEYDOWN) continue;
            switch (e.key.keysym.sym) {
                case SDLK_ESCAPE:
                    game_screen = SCREEN_MENU;
                    set_video_mode(500, 500);
                    open = false;
                    break;
                case SDLK_UP: menu_cursor--; break;
                case SDLK_DOWN: menu_cursor++; break;
                case SDLK_RETURN:
                    if (menu_cursor == 1) {
                        game_screen = SCREEN_LOAD;   // the loader keeps the mode
                        open = false;
                    } else if (menu_cursor == 2) {
                        game_screen = SCREEN_MENU;
                        set_video_mode(500, 500);
                        open = false;
                    }
                    break;
                case SDLK_LEFT:
                    if (menu_cursor == 0) race_settings.level_index--;
                    break;
                case SDLK_RIGHT:
                    if (menu_cursor == 0) race_settings.level_index++;
                    break;
                default: break;
            }
        }
        if (menu_cursor > 2) menu_cursor = 0;
        if (menu_cursor < 0) menu_cursor = 2;
        wrap_level_index();

        menu_pacing();
    }
}
