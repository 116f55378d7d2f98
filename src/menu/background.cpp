// SPDX-License-Identifier: GPL-3.0-or-later
// The menus' animated colour bands, and the backdrop and frame both menus share.
#include <SDL/SDL.h>

#include <functional>

#include "io/assets.h"
#include "io/effects.h"
#include "io/events.h"
#include "io/present.h"
#include "core/state.h"
#include "base/clock.h"
#include "menu/menu.h"

int background_phase = 2000;

// The colour bands repeat: v only matters through v / 500, v / 450 and v / 400
// modulo 255, whose common period is 4 590 000. Reducing v by it keeps every
// colour exact and the arithmetic defined however long the menu runs.
static const long long BAND_PERIOD = 4590000;
// 100 * 45900 is that period: moving the phase by a multiple of 45900 shows
// the same picture.
static const int PHASE_PERIOD = 45900;

// Channel value of band number c (0..254).
static int band_value(int c) {
    if (c <= 127) c -= 15;
    if (c > 128) c += 15;
    c += 90;
    return c > 255 ? 255 : c;
}

Uint32 background_colour(int x, int y, int phase) {
    long long v = ((long long)x * y + 100LL * phase) % BAND_PERIOD;
    if (v < 0) v += BAND_PERIOD;
    int r = band_value((int)(v / 500 % 255)), g = band_value((int)(v / 450 % 255)),
        b = band_value((int)(v / 400 % 255));
    if (r + g + b > 720) return 0xC8C8FFu;
    return (Uint32)(r << 16 | g << 8 | b);
}

// Every band edge falls on a multiple of 50 in v (500, 450 and 400 all are),
// so a point's colour depends only on v / 50: the colours of one frame fit a
// table of v / 50 over the frame's range, and each point is one division and
// one look-up. The table is made anew for every frame.
constexpr int BAND_STEP = 50;
// Largest x * y drawn is 500 * 500.
constexpr int TABLE_SIZE = (BAND_STEP - 1 + 500 * 500) / BAND_STEP + 1;

// Band number v / width mod 255 of a run of consecutive v / 50 values,
// counted up without dividing.
struct band_counter {
    int per_band, q, left;   // left: steps of v / 50 still in this band
    void start(long long u, int width) {
        per_band = width / BAND_STEP;
        q = (int)(u / per_band % 255);
        left = per_band - (int)(u % per_band);
    }
    void next() {
        if (--left > 0) return;
        left = per_band;
        if (++q == 255) q = 0;
    }
};

// True when the background covers every point of `s` (and so whatever was
// there before does not show): 4 bytes a point, at most 501 x 501, and
// writable without a lock that could fail.
static bool covers_surface(const SDL_Surface* s) {
    return s && s->format->BytesPerPixel == 4 && s->w <= 501 && s->h <= 501 && !SDL_MUSTLOCK(s);
}

void draw_background() {
    SDL_Surface* s = screen;
    if (s && s->format->BytesPerPixel == 4 && SDL_LockSurface(s) == 0) {
        const SDL_PixelFormat* f = s->format;
        // Band value and mapped pixel bits of each band number 0..254, per channel.
        int value[255];
        Uint32 red[255], green[255], blue[255];
        for (int q = 0; q < 255; q++) {
            value[q] = band_value(q);
            red[q] = SDL_MapRGB(f, (Uint8)value[q], 0, 0);
            green[q] = SDL_MapRGB(f, 0, (Uint8)value[q], 0);
            blue[q] = SDL_MapRGB(f, 0, 0, (Uint8)value[q]);
        }
        const Uint32 pale = SDL_MapRGB(f, 200, 200, 255);
        long long base = 100LL * background_phase % BAND_PERIOD;
        if (base < 0) base += BAND_PERIOD;

        // Pixel of v / 50 = base / 50 + k, for every k the frame reaches.
        Uint32 colour[TABLE_SIZE];
        band_counter r, g, b;
        r.start(base / BAND_STEP, 500);
        g.start(base / BAND_STEP, 450);
        b.start(base / BAND_STEP, 400);
        for (int k = 0; k < TABLE_SIZE; k++) {
            colour[k] = value[r.q] + value[g.q] + value[b.q] > 720 ? pale
                                                                   : red[r.q] | green[g.q] | blue[b.q];
            r.next();
            g.next();
            b.next();
        }

        // Points 0..500 on both axes; those outside the surface are clipped.
        // x * y is symmetric, so rows are walked in memory order. With the
        // whole fifties of base taken into the table, v / 50 - base / 50 is
        // (base % 50 + x * y) / 50.
        const unsigned rest = (unsigned)(base % BAND_STEP);
        const int w = s->w < 501 ? s->w : 501, h = s->h < 501 ? s->h : 501;
        for (int y = 0; y < h; y++) {
            Uint32* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + y * s->pitch);
            unsigned v = rest;
            for (int x = 0; x < w; x++, v += (unsigned)y) row[x] = colour[v / BAND_STEP];
        }
        SDL_UnlockSurface(s);
    }
    background_phase += 2;
    if (background_phase > 2000000000) background_phase -= PHASE_PERIOD * 40000;
}

bool menu_pass_events(int& cursor, const std::function<void()>& draw,
                      const std::function<void(const SDL_Event& e)>& on_event, int last,
                      const std::function<void()>& after) {
    start_frame();
    menu_backdrop();
    draw();
    show_moving_frame();

    bool quit = false;
    SDL_Event e;
    while (next_event(e)) {
        quit = quit || e.type == SDL_QUIT;
        // The full game's menus click (the classic game has no effects loaded).
        if (e.type == SDL_KEYDOWN) menu_key_effect(e.key.keysym.sym);
        on_event(e);
    }
    wrap_cursor(cursor, last);
    if (after) after();

    menu_pacing();
    return quit;
}

bool menu_pass(int& cursor, const std::function<void()>& draw, const std::function<void(SDLKey key)>& on_key,
               int last, const std::function<void()>& after) {
    auto on_event = [&cursor, &on_key](const SDL_Event& e) {
        if (e.type != SDL_KEYDOWN) return;
        switch (e.key.keysym.sym) {
            case SDLK_UP: cursor--; break;
            case SDLK_DOWN: cursor++; break;
            default: on_key(e.key.keysym.sym); break;
        }
    };
    return menu_pass_events(cursor, draw, on_event, last, after);
}

void classic_menu_pass(void (*draw)(), void (*on_key)(SDLKey key), int last, void (*after)()) {
    auto on_event = [on_key](const SDL_Event& e) {
        if (e.type == SDL_QUIT) game_screen = SCREEN_QUIT;
        if (e.type != SDL_KEYDOWN) return;
        switch (e.key.keysym.sym) {
            case SDLK_UP: menu_cursor--; break;
            case SDLK_DOWN: menu_cursor++; break;
            default: on_key(e.key.keysym.sym); break;
        }
    };
    menu_pass_events(menu_cursor, draw, on_event, last, after ? std::function<void()>(after) : nullptr);
}

void menu_backdrop() {
    // Black first, where the background leaves anything to show through.
    if (!covers_surface(screen)) SDL_FillRect(screen, nullptr, 0);
    draw_background();
    if (logo) {
        SDL_Rect at = {68, 50, 0, 0};
        SDL_BlitSurface(logo, nullptr, screen, &at);
    }
}
