// SPDX-License-Identifier: GPL-3.0-or-later
// The three overlays of a race: the start countdown, the pause and the
// race-end screen. Each is a state of the race screen: the race frame that
// opens one stays open while the screen loop runs the overlay's passes over
// the frozen frame, one pass each time round, and goes on once it closes.
// They are still pictures: a pass whose picture is the one the last pass
// drew (the countdown's label changes once a second, the pause's never, the
// race end's on a key) draws and sends nothing; it still reads its events
// and keeps its pace.
#include <SDL/SDL_gfxPrimitives.h>

#include <cstdio>
#include <cstring>

#include "base/clock.h"
#include "core/state.h"
#include "draw/draw.h"
#include "io/assets.h"
#include "io/events.h"
#include "io/media.h"
#include "io/present.h"
#include "track/track.h"
#include "view/view.h"

bool paused = false;                         // only while the pause overlay runs
void (*overlay_pass_flipped)() = nullptr;    // tests only

// What the last overlay pass drew into `screen`: which overlay, what its
// own drawing showed (its look) and into which surface.
struct overlay_picture {
    bool valid;
    const void* who;
    long long look;
    const SDL_Surface* surface;
    int w, h;
};

// The overlays' picture cache, for the whole run.
static struct {
    // The frozen picture darkened, window-sized in the window's layout:
    // black, the frozen frame, a black box of alpha 125 over it all, exactly
    // what each pass used to draw into the window anew. Made at the first
    // pass of every overlay (each starts from its own frozen frame) and
    // again if the window surface changes size or layout.
    SDL_Surface* darkened = nullptr;
    bool darkened_stale = true;
    // What the last pass drew; forgotten whenever anything else may have
    // drawn into `screen`: a new overlay opening, a race frame.
    overlay_picture last_pass = {false, nullptr, 0, nullptr, 0, 0};
} overlay_cache;

static bool fits_window(const SDL_Surface* s) {
    const SDL_PixelFormat* a = s->format;
    const SDL_PixelFormat* b = screen->format;
    return s->w == screen->w && s->h == screen->h && a->BitsPerPixel == b->BitsPerPixel &&
           a->Rmask == b->Rmask && a->Gmask == b->Gmask && a->Bmask == b->Bmask && a->Amask == b->Amask;
}

static void darken_frozen_frame() {
    SDL_Surface*& darkened = overlay_cache.darkened;
    if (darkened && !overlay_cache.darkened_stale && fits_window(darkened)) return;
    if (darkened && !fits_window(darkened)) {
        SDL_FreeSurface(darkened);
        darkened = nullptr;
    }
    const SDL_PixelFormat* f = screen->format;
    if (!darkened)
        darkened = SDL_CreateRGBSurface(SDL_SWSURFACE, screen->w, screen->h, f->BitsPerPixel, f->Rmask, f->Gmask,
                                        f->Bmask, f->Amask);
    SDL_Surface* target = darkened ? darkened : screen;   // out of memory: drawn as before
    SDL_FillRect(target, nullptr, 0);
    SDL_Rect at = {0, 0, 0, 0};
    SDL_BlitSurface(frozen_frame, nullptr, target, &at);
    // The whole window: both views of a two-player race, the one view of any other.
    boxRGBA(target, 0, 0, (Sint16)screen->w, (Sint16)screen->h, 0, 0, 0, 125);
    overlay_cache.darkened_stale = !darkened;
}

void forget_overlay_picture() {
    overlay_cache.last_pass.valid = false;
}

void free_overlay_picture() {
    SDL_FreeSurface(overlay_cache.darkened);
    overlay_cache.darkened = nullptr;
    overlay_cache.darkened_stale = true;
    forget_overlay_picture();
}

void freeze_frame() {
    SDL_Rect at = {0, 0, 0, 0};
    SDL_BlitSurface(screen, nullptr, frozen_frame, &at);
    overlay_cache.darkened_stale = true;
    forget_overlay_picture();
}

// The darkened picture into the window, row by row (the same layout, so a
// plain copy of the bytes; SDL's copy blit bypasses the cache).
static void show_darkened() {
    darken_frozen_frame();
    SDL_Surface* darkened = overlay_cache.darkened;
    if (!darkened) return;   // already drawn into the window
    if (SDL_MUSTLOCK(screen) && SDL_LockSurface(screen) != 0) {
        SDL_Rect at = {0, 0, 0, 0};
        SDL_BlitSurface(darkened, nullptr, screen, &at);
        return;
    }
    const size_t bytes = (size_t)darkened->w * darkened->format->BytesPerPixel;
    for (int y = 0; y < darkened->h; y++)
        std::memcpy(static_cast<Uint8*>(screen->pixels) + y * screen->pitch,
                    static_cast<const Uint8*>(darkened->pixels) + y * darkened->pitch, bytes);
    if (SDL_MUSTLOCK(screen)) SDL_UnlockSurface(screen);
}

static bool same_picture(const overlay_picture& a, const overlay_picture& b) {
    return a.valid && b.valid && a.who == b.who && a.look == b.look && a.surface == b.surface && a.w == b.w &&
           a.h == b.h;
}

// One pass of an overlay: the darkened frozen picture with the overlay's own
// drawing of `look` on it is shown, then every queued event goes to
// `on_event`. When the last pass drew the same, `screen` still holds that
// picture and it is shown as still. The caller paces the pass.
void overlay_pass(const void* who, long long look, const std::function<void(long long look)>& draw,
                  const std::function<void(const SDL_Event& e)>& on_event) {
    start_frame();
    const overlay_picture now = {screen != nullptr, who, look, screen, screen ? screen->w : 0, screen ? screen->h : 0};
    if (same_picture(now, overlay_cache.last_pass)) {
        show_still_frame();
    } else {
        show_darkened();
        draw(look);
        show_frame();
        overlay_cache.last_pass = now;
    }
    if (overlay_pass_flipped) overlay_pass_flipped();

    SDL_Event e;
    while (next_event(e)) on_event(e);
}

// What tells the classic overlays' pictures apart: an address of each one's own.
static const char COUNTDOWN_OVERLAY = 0, PAUSE_OVERLAY = 0, RACE_END_OVERLAY = 0;

// Unsigned on purpose: a start moved into the future reads as a huge time
// and ends the countdown at its next test.
static Uint32 since_start() {
    return game_ticks() - race_start_ticks;
}

static const char* const COUNTDOWN_LABELS[4] = {" 3", " 2", " 1", "GO!"};

int countdown_label_index(Uint32 since) {
    return since <= 999 ? 0 : since <= 1999 ? 1 : since <= 2999 ? 2 : 3;
}

const char* countdown_label_at(Uint32 since) { return COUNTDOWN_LABELS[countdown_label_index(since)]; }

// Index of the label the countdown shows now.
static int countdown_label() { return countdown_label_index(since_start()); }

static void draw_countdown(long long label) {
    text_white(screen, live_race.two_players ? 370 : 230, 240, COUNTDOWN_LABELS[label], large_font);
}

// Leaving moves the start past the countdown, which ends it.
static void countdown_event(const SDL_Event& e) {
    if (e.type == SDL_QUIT) {
        game_screen = SCREEN_QUIT;
        race_start_ticks = game_ticks() + 4000;
    }
    if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE) {
        race_start_ticks = game_ticks() + 4000;
        back_to_menu();
    }
}

bool countdown_running() { return since_start() <= 3999; }

void countdown_pass() {
    overlay_pass(&COUNTDOWN_OVERLAY, countdown_label(), draw_countdown, countdown_event);
    top_up(10);
}

static void draw_pause(long long) {
    const int x = live_race.two_players ? 390 : 240;
    text_white(screen, x - 50, 240, "Pause", large_font);
    text(screen, x - 40, 280, "p to continue", small_font);
}

static void pause_event(const SDL_Event& e) {
    if (e.type == SDL_QUIT) {
        game_screen = SCREEN_QUIT;
        paused = false;
    }
    if (e.type == SDL_KEYDOWN && (e.key.keysym.sym == SDLK_ESCAPE || e.key.keysym.sym == SDLK_p))
        paused = false;
}

void pause_pass() {
    overlay_pass(&PAUSE_OVERLAY, 0, draw_pause, pause_event);
    top_up(10);
}

static bool race_end_open = false;   // while the race-end screen runs

// What the race-end screen shows: the cursor, the level and the winner.
static long long race_end_look() {
    return ((long long)race_settings.level_index * 4 + menu_cursor) * 4 + live_race.winner;
}

static void draw_race_end(long long) {
    draw_button(screen, 180, 150, "Level:", menu_cursor, 0, small_font);
    draw_button(screen, 180, 180, "Ok", menu_cursor, 1, small_font);
    draw_button(screen, 180, 210, "Menu", menu_cursor, 2, small_font);
    text_pink(screen, 230, 153, chosen_level_name(), small_font);
    const int winner = live_race.winner;
    if (winner >= 1 && winner <= 3) {
        snprintf(label_buffer, sizeof label_buffer, "Player %d won!", winner);
        text_white(screen, 125, 50, label_buffer, large_font);
    }
}

// Every queued event counts, even after one of them has closed the screen.
static void race_end_event(const SDL_Event& e) {
    if (e.type == SDL_QUIT) {
        game_screen = SCREEN_QUIT;
        race_end_open = false;
    }
    if (e.type != SDL_KEYDOWN) return;
    switch (e.key.keysym.sym) {
        case SDLK_ESCAPE:
            back_to_menu();
            race_end_open = false;
            break;
        case SDLK_UP: menu_cursor--; break;
        case SDLK_DOWN: menu_cursor++; break;
        case SDLK_RETURN:
            if (menu_cursor == 1) {
                game_screen = SCREEN_LOAD;   // the loader keeps the mode
                race_end_open = false;
            } else if (menu_cursor == 2) {
                back_to_menu();
                race_end_open = false;
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

void open_race_end() {
    race_end_open = true;
    overlay_cache.darkened_stale = true;   // the caller may have put its own picture in frozen_frame
    forget_overlay_picture();
}

bool race_end_running() { return race_end_open; }

void race_end_pass() {
    overlay_pass(&RACE_END_OVERLAY, race_end_look(), draw_race_end, race_end_event);
    wrap_menu_cursor(2);
    wrap_level_index();
    menu_pacing();
}
