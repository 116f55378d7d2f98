// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the race view, overlay and settings tests: pictures built
// independently of the game's drawing to compare with, a way to act after
// each overlay pass, and the catalogue saved around tests that replace it.
#pragma once

#include <SDL/SDL.h>
#include <SDL/SDL_gfxPrimitives.h>
#include <SDL/SDL_ttf.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "io/assets.h"
#include "io/media.h"
#include "io/events.h"
#include "core/state.h"
#include "base/arith.h"
#include "draw/draw.h"
#include "harness.h"
#include "shell/shell.h"
#include "shell/window.h"
#include "view/tiles.h"
#include "track/track.h"
#include "view/view.h"

// A software surface with the window's pixel format, so that blending into
// it gives the same pixels as blending into the window.
inline SDL_Surface* surface_like_screen(int w, int h) {
    const SDL_PixelFormat* f = screen->format;
    return SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, f->Rmask, f->Gmask, f->Bmask, f->Amask);
}

inline void blit_whole(SDL_Surface* from, SDL_Surface* to, int x, int y) {
    SDL_Rect at = {(Sint16)x, (Sint16)y, 0, 0};
    SDL_BlitSurface(from, nullptr, to, &at);
}

inline SDL_Surface* copy_of_screen() {
    SDL_Surface* c = surface_like_screen(screen->w, screen->h);
    blit_whole(screen, c, 0, 0);
    return c;
}

// Number of pixels of `region` whose colours differ between a and b.
inline int differing_pixels(SDL_Surface* a, SDL_Surface* b, int x0, int y0, int w, int h) {
    int n = 0;
    for (int y = y0; y < y0 + h; y++)
        for (int x = x0; x < x0 + w; x++)
            if (pixel_at(a, x, y) != pixel_at(b, x, y)) n++;
    return n;
}

inline int differing_pixels(SDL_Surface* a, SDL_Surface* b) {
    EXPECT_EQ(a->w, b->w);
    EXPECT_EQ(a->h, b->h);
    return differing_pixels(a, b, 0, 0, a->w < b->w ? a->w : b->w, a->h < b->h ? a->h : b->h);
}

// The darkened picture under every overlay, drawn from `under` (the race
// picture the overlay started from) by the rule: copy, black box of alpha 125.
inline SDL_Surface* expected_overlay(SDL_Surface* under) {
    SDL_Surface* e = surface_like_screen(screen->w, screen->h);
    SDL_FillRect(e, nullptr, 0);
    blit_whole(under, e, 0, 0);
    boxRGBA(e, 0, 0, (Sint16)(2 * live_race.view_width), (Sint16)live_race.view_height, 0, 0, 0, 125);
    return e;
}

// Counts the pixels where the glyphs of `s`, rendered fully opaque, are not
// shown in `colour` (0xRRGGBB) on `target` at (x, y). A text that is drawn
// there gives 0 whatever lies beneath it; another text gives many.
inline int glyph_mismatches(SDL_Surface* target, int x, int y, const char* s, TTF_Font* font, Uint32 colour) {
    SDL_Color c = {(Uint8)(colour >> 16), (Uint8)(colour >> 8), (Uint8)colour, 0};
    SDL_Surface* r = TTF_RenderText_Blended(font, s, c);
    if (!r) {
        ADD_FAILURE() << "cannot render " << s;
        return -1;
    }
    int solid = 0, wrong = 0;
    SDL_LockSurface(r);
    for (int j = 0; j < r->h; j++)
        for (int i = 0; i < r->w; i++) {
            Uint32 raw = *(Uint32*)((Uint8*)r->pixels + j * r->pitch + i * 4);
            Uint8 cr, cg, cb, ca;
            SDL_GetRGBA(raw, r->format, &cr, &cg, &cb, &ca);
            if (ca != 255) continue;
            int px = x + i, py = y + j;
            if (px < 0 || py < 0 || px >= target->w || py >= target->h) continue;
            solid++;
            if (pixel_at(target, px, py) != colour) wrong++;
        }
    SDL_UnlockSurface(r);
    SDL_FreeSurface(r);
    EXPECT_GE(solid, 3) << "too few solid pixels in \"" << s << "\" to judge";
    return wrong;
}

// Runs `action` after each overlay pass has been flipped (before that pass
// reads its events) while the guard lives; the previous action comes back
// after. An overlay still running after many passes is a fault: the guard
// then reports it and closes the window, which ends every overlay, so a
// broken overlay fails the test instead of hanging it.
struct OverlayPasses {
    static constexpr int most_passes = 5000;
    static std::function<void()>& action() {
        static std::function<void()> a;
        return a;
    }
    static int& passes() {
        static int n = 0;
        return n;
    }
    static void call() {
        if (++passes() > most_passes) {
            if (passes() == most_passes + 1) ADD_FAILURE() << "an overlay did not end after " << most_passes << " passes";
            push_quit();
            return;
        }
        if (action()) action()();
    }
    std::function<void()> saved_action;
    void (*saved_hook)();
    int saved_passes;
    explicit OverlayPasses(std::function<void()> a = nullptr)
        : saved_action(action()), saved_hook(overlay_pass_flipped), saved_passes(passes()) {
        action() = std::move(a);
        passes() = 0;
        overlay_pass_flipped = call;
    }
    ~OverlayPasses() {
        action() = std::move(saved_action);
        overlay_pass_flipped = saved_hook;
        passes() = saved_passes;
    }
};

// The overlays run to their end, as a race frame runs them: the countdown
// while it lasts, the pause that Ctrl+P opens, the race-end screen of a
// race that is over (over the window as it is), and the race-end screen
// over whatever frozen_frame holds.
inline void start_countdown() {
    if (!countdown_running()) return;
    freeze_frame();
    while (countdown_running()) countdown_pass();
}
// The classic pause check of a race frame: with Ctrl held, a P among the
// queued events opens the pause (everything else is dropped).
inline void pause_check(const Uint8* keys) {
    if (!keys || !(keys[SDLK_LCTRL] || keys[SDLK_RCTRL])) return;
    FrameInput in;
    race_events(in, true);
    if (!in.pause) return;
    freeze_frame();
    paused = true;
    while (paused) pause_pass();
}
inline void race_end_screen() {
    open_race_end();
    while (race_end_running()) race_end_pass();
}
inline void race_end_check() {
    if (!race_over(live_race)) return;
    freeze_frame();
    race_end_screen();
}

// Replaces the catalogue for one test and puts the shipped one back after.
struct CatalogueSwap {
    char saved[MAX_LEVELS][LEVEL_NAME_LEN];
    int saved_last;
    explicit CatalogueSwap(std::initializer_list<const char*> names, int last = -2) {
        std::memcpy(saved, level_names, sizeof saved);
        saved_last = last_level_index;
        std::memset(level_names, 0, sizeof level_names);
        int k = 0;
        for (const char* n : names) std::strncpy(level_names[k++], n, LEVEL_NAME_LEN - 1);
        last_level_index = last == -2 ? k - 1 : last;
    }
    ~CatalogueSwap() {
        std::memcpy(level_names, saved, sizeof saved);
        last_level_index = saved_last;
    }
};

// Scaled presentation: the raw 32-bit pixel, the enlarged picture checked
// against its source, a test pattern, the plain window restored.
inline Uint32 raw_pixel(SDL_Surface* s, int x, int y) {
    return *(const Uint32*)((const Uint8*)s->pixels + y * s->pitch + x * 4);
}

// Pixels of `window` inside the picture's place that are not the picture's
// pixel (x / scale, y / scale); and pixels outside it that are not black.
struct enlarged_check {
    long wrong_inside = 0, lit_outside = 0;
};
inline enlarged_check check_enlarged(SDL_Surface* picture, SDL_Surface* window, int scale, int ox, int oy) {
    enlarged_check c;
    for (int y = 0; y < window->h; y++)
        for (int x = 0; x < window->w; x++) {
            const int px = (x - ox) / scale, py = (y - oy) / scale;
            const bool inside = x >= ox && y >= oy && px < picture->w && py < picture->h;
            const Uint32 v = raw_pixel(window, x, y) & 0xFFFFFF;
            if (inside && v != (raw_pixel(picture, px, py) & 0xFFFFFF)) c.wrong_inside++;
            if (!inside && v != 0) c.lit_outside++;
        }
    return c;
}

// A picture where every pixel differs from its neighbours.
inline void paint_pattern(SDL_Surface* s, Uint32 seed) {
    for (int y = 0; y < s->h; y++)
        for (int x = 0; x < s->w; x++)
            *(Uint32*)((Uint8*)s->pixels + y * s->pitch + x * 4) =
                SDL_MapRGB(s->format, (Uint8)(x * 7 + seed), (Uint8)(y * 13 + seed), (Uint8)(x ^ y));
}

// The window as the game opens it with no option, after each test.
struct PlainWindow {
    ~PlainWindow() {
        window_configure(1, false);
        set_video_mode(500, 500);
    }
};
