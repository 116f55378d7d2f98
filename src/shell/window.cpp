// The window, its scale and fullscreen, and showing each frame enlarged.
#include "shell/window.h"

#include <SDL/SDL_syswm.h>

#include <cstdio>
#include <cstring>

#ifdef CHAINBALL_X11
#include <X11/Xlib.h>
#endif

#include "core/assets.h"
#include "shell/shell.h"

// All for the whole run: the options once before start-up, the rest
// whenever the window is opened again.
static int windowed_scale = 1;
static bool fullscreen = false;
static int display_w = 0, display_h = 0;   // 0 until first asked
static SDL_Surface* window = nullptr;      // the video surface
static SDL_Surface* canvas = nullptr;      // what `screen` points at when it is not the window
static int scale = 1;                      // of the picture in the window now
static int offset_x = 0, offset_y = 0;     // of the picture in the window
// The picture as last put into the window, so that rows that did not change
// are not enlarged again; valid only while the window keeps what was drawn
// into it (a single-buffered surface) since the last opening.
static SDL_Surface* shown = nullptr;
static bool shown_valid = false;

static const Uint32 WINDOW_FLAGS = SDL_HWSURFACE | SDL_DOUBLEBUF;

void window_configure(int s, bool full) {
    windowed_scale = s < 1 ? 1 : s > 4 ? 4 : s;
    fullscreen = full;
}

static void free_surface(SDL_Surface*& s) {
    SDL_FreeSurface(s);
    s = nullptr;
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
        display_w = DisplayWidth(d, DefaultScreen(d));
        display_h = DisplayHeight(d, DefaultScreen(d));
        info.info.x11.unlock_func();
        if (display_w > 0 && display_h > 0) return;
    }
#endif
    const SDL_VideoInfo* v = SDL_GetVideoInfo();
    if (v && v->current_w > 0 && v->current_h > 0) {
        display_w = v->current_w;
        display_h = v->current_h;
        return;
    }
    SDL_Rect** modes = SDL_ListModes(nullptr, SDL_FULLSCREEN | SDL_HWSURFACE);
    if (modes && modes != (SDL_Rect**)-1 && modes[0]) {
        display_w = modes[0]->w;
        display_h = modes[0]->h;
    }
}

// A w x h surface drawn at scale `s`, the window `ww` x `wh` around it.
static bool open_scaled(int w, int h, int s, int ww, int wh, Uint32 flags) {
    window = SDL_SetVideoMode(ww, wh, 32, flags);
    if (!window) return false;
    scale = s;
    offset_x = (ww - w * s) / 2;
    offset_y = (wh - h * s) / 2;
    const SDL_PixelFormat* f = window->format;
    canvas = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, f->Rmask, f->Gmask, f->Bmask, f->Amask);
    shown = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, f->Rmask, f->Gmask, f->Bmask, f->Amask);
    if (!canvas || !shown) return false;
    // The border stays black: cleared here, on both buffers if there are two.
    SDL_FillRect(window, nullptr, 0);
    if (window->flags & SDL_DOUBLEBUF) {
        SDL_Flip(window);
        SDL_FillRect(window, nullptr, 0);
    }
    return true;
}

void open_window(int w, int h) {
    free_surface(canvas);
    free_surface(shown);
    shown_valid = false;
    scale = 1;
    offset_x = offset_y = 0;
    if (fullscreen) {
        if (display_w == 0) find_display_size();
        int s = display_w > 0 ? display_w / w : 1;
        if (display_h > 0 && display_h / h < s) s = display_h / h;
        if (s < 1) s = 1;
        const int ww = display_w > w * s ? display_w : w * s;
        const int wh = display_h > h * s ? display_h : h * s;
        if (open_scaled(w, h, s, ww, wh, WINDOW_FLAGS | SDL_FULLSCREEN)) {
            screen = canvas;
            return;
        }
        fprintf(stderr, "chainball: no fullscreen mode (%s), playing in a window\n", SDL_GetError());
        fullscreen = false;
        free_surface(canvas);
        free_surface(shown);
    }
    if (windowed_scale > 1) {
        if (open_scaled(w, h, windowed_scale, w * windowed_scale, h * windowed_scale, WINDOW_FLAGS)) {
            screen = canvas;
            return;
        }
        fprintf(stderr, "chainball: no %d x %d window (%s), playing at scale 1\n", w * windowed_scale,
                h * windowed_scale, SDL_GetError());
        windowed_scale = 1;
        free_surface(canvas);
        free_surface(shown);
    }
    // The game's own window, drawn into directly.
    window = SDL_SetVideoMode(w, h, 32, WINDOW_FLAGS);
    screen = window;
}

static Uint8* row_of(SDL_Surface* s, int r) {
    return static_cast<Uint8*>(s->pixels) + (size_t)r * s->pitch;
}

template <int S>
static void enlarge_row(const Uint32* from, Uint32* to, int w) {
    for (int x = 0; x < w; x++, to += S)
        for (int k = 0; k < S; k++) to[k] = from[x];
}

void enlarge_rows(SDL_Surface* from, SDL_Surface* to, int s, int x, int y, int first, int last) {
    if (SDL_MUSTLOCK(to) && SDL_LockSurface(to) != 0) return;
    const int w = from->w;
    const size_t row_bytes = (size_t)w * s * 4;
    for (int r = first; r < last; r++) {
        const Uint32* src = reinterpret_cast<const Uint32*>(row_of(from, r));
        Uint8* dst = row_of(to, y + r * s) + x * 4;
        Uint32* dst32 = reinterpret_cast<Uint32*>(dst);
        switch (s) {
            case 2: enlarge_row<2>(src, dst32, w); break;
            case 3: enlarge_row<3>(src, dst32, w); break;
            case 4: enlarge_row<4>(src, dst32, w); break;
            default: enlarge_row<1>(src, dst32, w); break;
        }
        for (int k = 1; k < s; k++) std::memcpy(dst + k * to->pitch, dst, row_bytes);
    }
    if (SDL_MUSTLOCK(to)) SDL_UnlockSurface(to);
}

// Row r of the picture differs from what the window shows.
static bool row_changed(int r) {
    return std::memcmp(row_of(canvas, r), row_of(shown, r), (size_t)canvas->w * 4) != 0;
}

// Rows first..last-1 of the picture into the window, and remembered.
static void put_rows(int first, int last) {
    enlarge_rows(canvas, window, scale, offset_x, offset_y, first, last);
    for (int r = first; r < last; r++)
        std::memcpy(row_of(shown, r), row_of(canvas, r), (size_t)canvas->w * 4);
}

void present_frame() {
    if (!canvas) {
        if (screen) SDL_Flip(screen);
        return;
    }
    if (!shown_valid) {
        put_rows(0, canvas->h);
        SDL_Flip(window);
        shown_valid = !(window->flags & SDL_DOUBLEBUF);
        return;
    }
    // Only the bands of changed rows: a still screen costs a comparison.
    int top = canvas->h, bottom = 0;
    for (int r = 0; r < canvas->h; r++) {
        if (!row_changed(r)) continue;
        int end = r + 1;
        while (end < canvas->h && row_changed(end)) end++;
        put_rows(r, end);
        if (r < top) top = r;
        bottom = end;
        r = end;   // row `end` is unchanged (or past the picture)
    }
    if (bottom > top)
        SDL_UpdateRect(window, offset_x, offset_y + top * scale, (Uint32)(canvas->w * scale),
                       (Uint32)((bottom - top) * scale));
}

void toggle_fullscreen() {
    if (!screen) return;
    const int w = screen->w, h = screen->h;
    const SDL_PixelFormat* f = screen->format;
    SDL_Surface* keep = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, f->Rmask, f->Gmask, f->Bmask, f->Amask);
    SDL_Rect at = {0, 0, 0, 0};
    if (keep) SDL_BlitSurface(screen, nullptr, keep, &at);
    fullscreen = !fullscreen;
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
    if (screen == canvas) screen = window;
    free_surface(canvas);
    free_surface(shown);
    shown_valid = false;
}

SDL_Surface* window_surface() {
    return window;
}

int window_scale() {
    return canvas ? scale : 1;
}

bool window_is_fullscreen() {
    return fullscreen;
}
