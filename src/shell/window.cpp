// SPDX-License-Identifier: GPL-3.0-or-later
// The window, its scale and fullscreen, and showing each frame enlarged.
#include "shell/window.h"

#include <SDL/SDL_syswm.h>

#include <cstdio>
#include <cstring>

#ifdef CHAINBALL_X11
#include <X11/Xlib.h>
#endif

#include "io/assets.h"
#include "shell/shell.h"
#include "shell/x_scaler.h"

// The one window, from start-up to shut-down: the options once before
// start-up, the rest whenever the window is opened again.
static struct {
    int windowed_scale = 1;
    bool fullscreen = false;
    int display_w = 0, display_h = 0;   // 0 until first asked
    SDL_Surface* surface = nullptr;     // the video surface
    SDL_Surface* canvas = nullptr;      // what `screen` points at when it is not the window
    int scale = 1;                      // of the picture in the window now
    int offset_x = 0, offset_y = 0;     // of the picture in the window
    // The picture as last presented, so that rows that did not change are
    // neither enlarged nor sent again; `presented` is false until the first
    // frame after an opening (at every scale), which goes whole.
    SDL_Surface* shown = nullptr;
    bool presented = false;
    // With the X server enlarging, SDL's own copy of the window is filled
    // only for a still screen, from which SDL repaints an exposed window:
    // true while it is behind the picture shown.
    bool sdl_copy_behind = false;
    // Our own connection to the X display, from before SDL starts until the
    // window is open (hold_display).
    void* held_display = nullptr;
} window;

static const Uint32 WINDOW_FLAGS = SDL_HWSURFACE | SDL_DOUBLEBUF;

bool hold_display() {
#ifdef CHAINBALL_X11
    if (!window.held_display) window.held_display = XOpenDisplay(nullptr);
    return window.held_display != nullptr;
#elif defined(__EMSCRIPTEN__)
    return true;   // the page's canvas is always there
#else
    // Without Xlib, SDL's X11 driver is asked and let go.
    if (SDL_VideoInit("x11", 0) != 0) return false;
    SDL_VideoQuit();
    return true;
#endif
}

bool display_held() { return window.held_display != nullptr; }

void release_display() {
#ifdef CHAINBALL_X11
    if (window.held_display) XCloseDisplay(static_cast<Display*>(window.held_display));
#endif
    window.held_display = nullptr;
}

void window_configure(int s, bool full) {
    window.windowed_scale = s < 1 ? 1 : s > 4 ? 4 : s;
    window.fullscreen = full;
}

static void free_surface(SDL_Surface*& s) {
    SDL_FreeSurface(s);
    s = nullptr;
}

// The surface drawn into when it is not the window: the X server's shared
// picture, or one of our own.
static void free_canvas() {
    if (x_scaler_active())
        x_scaler_close();
    else
        SDL_FreeSurface(window.canvas);
    window.canvas = nullptr;
}

// The display's size: from X itself where SDL 1.2 does not know it (it
// reports 0 x 0 without a mode-switching extension), else the largest
// fullscreen mode SDL lists. Stays 0 when nothing says.
static void find_display_size() {
#ifdef CHAINBALL_X11
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) > 0 && info.subsystem == SDL_SYSWM_X11 && info.info.x11.display) {
        info.info.x11.lock_func();
        Display* d = info.info.x11.display;
        window.display_w = DisplayWidth(d, DefaultScreen(d));
        window.display_h = DisplayHeight(d, DefaultScreen(d));
        info.info.x11.unlock_func();
        if (window.display_w > 0 && window.display_h > 0) return;
    }
#endif
    const SDL_VideoInfo* v = SDL_GetVideoInfo();
    if (v && v->current_w > 0 && v->current_h > 0) {
        window.display_w = v->current_w;
        window.display_h = v->current_h;
        return;
    }
    SDL_Rect** modes = SDL_ListModes(nullptr, SDL_FULLSCREEN | SDL_HWSURFACE);
    if (modes && modes != (SDL_Rect**)-1 && modes[0]) {
        window.display_w = modes[0]->w;
        window.display_h = modes[0]->h;
    }
}

// A w x h surface drawn at scale `s`, the window `ww` x `wh` around it.
static bool open_scaled(int w, int h, int s, int ww, int wh, Uint32 flags) {
    window.surface = SDL_SetVideoMode(ww, wh, 32, flags);
    if (!window.surface) return false;
    window.scale = s;
    window.offset_x = (ww - w * s) / 2;
    window.offset_y = (wh - h * s) / 2;
    const SDL_PixelFormat* f = window.surface->format;
    window.canvas = x_scaler_open(w, h, s, window.offset_x, window.offset_y);
    if (!window.canvas)
        window.canvas = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, f->Rmask, f->Gmask, f->Bmask, f->Amask);
    if (!window.canvas) return false;
    f = window.canvas->format;
    window.shown = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, f->Rmask, f->Gmask, f->Bmask, f->Amask);
    if (!window.shown) return false;
    // The border stays black: cleared here, on both buffers if there are two.
    SDL_FillRect(window.surface, nullptr, 0);
    if (window.surface->flags & SDL_DOUBLEBUF) {
        SDL_Flip(window.surface);
        SDL_FillRect(window.surface, nullptr, 0);
    }
    return true;
}

void open_window(int w, int h) {
    free_canvas();
    free_surface(window.shown);
    window.presented = false;
    window.scale = 1;
    window.offset_x = window.offset_y = 0;
    if (window.fullscreen) {
        if (window.display_w == 0) find_display_size();
        int s = window.display_w > 0 ? window.display_w / w : 1;
        if (window.display_h > 0 && window.display_h / h < s) s = window.display_h / h;
        if (s < 1) s = 1;
        const int ww = window.display_w > w * s ? window.display_w : w * s;
        const int wh = window.display_h > h * s ? window.display_h : h * s;
        if (open_scaled(w, h, s, ww, wh, WINDOW_FLAGS | SDL_FULLSCREEN)) {
            screen = window.canvas;
            return;
        }
        fprintf(stderr, "chainball: no fullscreen mode (%s), playing in a window\n", SDL_GetError());
        window.fullscreen = false;
        free_canvas();
        free_surface(window.shown);
    }
    if (window.windowed_scale > 1) {
        const int s = window.windowed_scale;
        if (open_scaled(w, h, s, w * s, h * s, WINDOW_FLAGS)) {
            screen = window.canvas;
            return;
        }
        fprintf(stderr, "chainball: no %d x %d window (%s), playing at scale 1\n", w * window.windowed_scale,
                h * window.windowed_scale, SDL_GetError());
        window.windowed_scale = 1;
        free_canvas();
        free_surface(window.shown);
    }
    // The game's own window, drawn into directly.
    window.surface = SDL_SetVideoMode(w, h, 32, WINDOW_FLAGS);
    screen = window.surface;
}

static Uint8* row_of(SDL_Surface* s, int r) {
    return static_cast<Uint8*>(s->pixels) + (size_t)r * s->pitch;
}

// One row of 32-bit pixels, each repeated S times, written into S rows of
// the window `pitch` bytes apart. Four pixels at a time become S vectors of
// four (plain GCC/Clang vector shuffles, SSE2 or NEON underneath), each
// stored straight into every row: no pass over the rows again, nothing kept
// on the stack. The odd pixels at the end one by one.
typedef Uint32 pixels4 __attribute__((vector_size(16), aligned(4)));

template <int S>
static inline void store_rows(Uint8* to, size_t pitch, pixels4 v) {
    for (int k = 0; k < S; k++) *reinterpret_cast<pixels4*>(to + k * pitch) = v;
}

template <int S>
static void enlarge_row(const Uint32* __restrict from, Uint8* __restrict to, size_t pitch, int w) {
    int x = 0;
    for (; x + 4 <= w; x += 4, to += 16 * S) {
        const pixels4 p = *reinterpret_cast<const pixels4*>(from + x);
        if constexpr (S == 2) {
            store_rows<2>(to, pitch, __builtin_shufflevector(p, p, 0, 0, 1, 1));
            store_rows<2>(to + 16, pitch, __builtin_shufflevector(p, p, 2, 2, 3, 3));
        } else if constexpr (S == 3) {
            store_rows<3>(to, pitch, __builtin_shufflevector(p, p, 0, 0, 0, 1));
            store_rows<3>(to + 16, pitch, __builtin_shufflevector(p, p, 1, 1, 2, 2));
            store_rows<3>(to + 32, pitch, __builtin_shufflevector(p, p, 2, 3, 3, 3));
        } else {
            store_rows<4>(to, pitch, __builtin_shufflevector(p, p, 0, 0, 0, 0));
            store_rows<4>(to + 16, pitch, __builtin_shufflevector(p, p, 1, 1, 1, 1));
            store_rows<4>(to + 32, pitch, __builtin_shufflevector(p, p, 2, 2, 2, 2));
            store_rows<4>(to + 48, pitch, __builtin_shufflevector(p, p, 3, 3, 3, 3));
        }
    }
    for (; x < w; x++, to += 4 * S)
        for (int k = 0; k < S; k++)
            for (int j = 0; j < S; j++) std::memcpy(to + k * pitch + 4 * j, from + x, 4);
}

void enlarge_rows(SDL_Surface* from, SDL_Surface* to, int s, int x, int y, int first, int last) {
    if (s < 1 || s > 4) return;
    if (SDL_MUSTLOCK(to) && SDL_LockSurface(to) != 0) return;
    const int w = from->w;
    const size_t pitch = to->pitch;
    for (int r = first; r < last; r++) {
        const Uint32* src = reinterpret_cast<const Uint32*>(row_of(from, r));
        Uint8* dst = row_of(to, y + r * s) + x * 4;
        switch (s) {
            case 1: std::memcpy(dst, src, (size_t)w * 4); break;
            case 2: enlarge_row<2>(src, dst, pitch, w); break;
            case 3: enlarge_row<3>(src, dst, pitch, w); break;
            default: enlarge_row<4>(src, dst, pitch, w); break;
        }
    }
    if (SDL_MUSTLOCK(to)) SDL_UnlockSurface(to);
}

// All rows first..last-1 of the picture into the window, and remembered.
static void put_rows(int first, int last) {
    enlarge_rows(window.canvas, window.surface, window.scale, window.offset_x, window.offset_y, first, last);
    for (int r = first; r < last; r++)
        std::memcpy(row_of(window.shown, r), row_of(window.canvas, r), (size_t)window.canvas->w * 4);
}

window_calls window_output = {SDL_Flip, SDL_UpdateRects};

// Row r of the picture differs from the one last presented: it is
// remembered as presented now.
static bool take_changed_row(int r) {
    const size_t bytes = (size_t)window.canvas->w * 4;
    Uint8* now = row_of(window.canvas, r);
    Uint8* before = row_of(window.shown, r);
    if (std::memcmp(now, before, bytes) == 0) return false;
    std::memcpy(before, now, bytes);
    return true;
}

// Each changed row enlarged into the window; the changed rows come back as
// bands of the window, at most `max` (the last band takes in the rest).
// Returns the number of bands.
static int put_changed_rows(SDL_Rect* bands, int max) {
    int n = 0;
    for (int r = 0; r < window.canvas->h; r++) {
        if (!take_changed_row(r)) continue;
        enlarge_rows(window.canvas, window.surface, window.scale, window.offset_x, window.offset_y, r, r + 1);
        const int top = window.offset_y + r * window.scale;
        if (n > 0 && bands[n - 1].y + bands[n - 1].h == top)
            bands[n - 1].h = (Uint16)(bands[n - 1].h + window.scale);
        else if (n == max)
            bands[n - 1].h = (Uint16)(top + window.scale - bands[n - 1].y);
        else
            bands[n++] = {(Sint16)window.offset_x, (Sint16)top, (Uint16)(window.canvas->w * window.scale),
                          (Uint16)window.scale};
    }
    return n;
}

// The X server enlarges: the changed rows go to it in runs, and the frame
// waits until it has taken them.
static bool present_through_server() {
    const int h = window.canvas->h;
    if (!window.presented) {
        for (int r = 0; r < h; r++) take_changed_row(r);
        x_scaler_send(0, h, true);
        window.presented = true;
        window.sdl_copy_behind = true;
        return true;
    }
    bool sent = false;
    for (int r = 0; r < h;) {
        if (!take_changed_row(r)) {
            r++;
            continue;
        }
        int end = r + 1;
        while (end < h && take_changed_row(end)) end++;
        x_scaler_send(r, end, false);
        sent = true;
        r = end;
    }
    if (sent) {
        x_scaler_send(0, 0, true);
        window.sdl_copy_behind = true;
    }
    return sent;
}

bool window_presents_changes_only() {
    return window.canvas != nullptr;
}

bool present_frame() {
    if (!window.canvas) {
        // The game's own window: flipped every frame, as it always was.
        if (!screen) return false;
        window_output.flip(screen);
        window.presented = true;
        return true;
    }
    if (x_scaler_active()) return present_through_server();
    if (!window.presented) {
        put_rows(0, window.canvas->h);
        window_output.flip(window.surface);
        window.presented = true;
        return true;
    }
    if (window.surface->flags & SDL_DOUBLEBUF) {
        // Two real buffers: the one drawn into holds the frame before the
        // last, so a changed picture goes in whole and is flipped.
        bool changed = false;
        for (int r = 0; r < window.canvas->h; r++) changed = take_changed_row(r) || changed;
        if (!changed) return false;
        put_rows(0, window.canvas->h);
        window_output.flip(window.surface);
        return true;
    }
    SDL_Rect bands[32];
    const int n = put_changed_rows(bands, 32);
    if (n == 0) return false;
    window_output.update(window.surface, n, bands);
    return true;
}

bool present_still_frame() {
    if (!window.presented) return present_frame();
    if (window.sdl_copy_behind) {
        enlarge_rows(window.canvas, window.surface, window.scale, window.offset_x, window.offset_y, 0,
                     window.canvas->h);
        window.sdl_copy_behind = false;
    }
    return false;
}

void toggle_fullscreen() {
    if (!screen) return;
    const int w = screen->w, h = screen->h;
    const SDL_PixelFormat* f = screen->format;
    SDL_Surface* keep = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, f->Rmask, f->Gmask, f->Bmask, f->Amask);
    SDL_Rect at = {0, 0, 0, 0};
    if (keep) SDL_BlitSurface(screen, nullptr, keep, &at);
    window.fullscreen = !window.fullscreen;
    open_window(w, h);
    if (keep && screen) SDL_BlitSurface(keep, nullptr, screen, &at);
    SDL_FreeSurface(keep);
}

bool window_key(const SDL_Event& e) {
    if (e.type != SDL_KEYDOWN || e.key.keysym.sym != SDLK_F11) return false;
    toggle_fullscreen();
    return true;
}

void close_window() {
    if (screen == window.canvas) screen = window.surface;
    free_canvas();
    free_surface(window.shown);
    window.presented = false;
}

SDL_Surface* window_surface() {
    return window.surface;
}

int window_scale() {
    return window.canvas ? window.scale : 1;
}

bool window_is_fullscreen() {
    return window.fullscreen;
}
