#include <SDL/SDL.h>

#include "menu/menu.h"
#include "shell/shell.h"

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

// One colour channel of a row, stepped along x without dividing: v grows by
// y per pixel, so its quotient by the band width grows by y / width, plus one
// whenever the remainder wraps.
struct band_walk {
    int width, q, rem, step_q, step_rem;
    void start(long long v, int y, int w) {
        width = w;
        q = (int)((v / w) % 255);
        rem = (int)(v % w);
        step_q = y / w;
        step_rem = y % w;
    }
    void next() {
        rem += step_rem;
        q += step_q;
        if (rem >= width) {
            rem -= width;
            q++;
        }
        if (q >= 255) q -= 255;
    }
};

void draw_background() {
    SDL_Surface* s = screen;
    if (s && s->format->BytesPerPixel == 4 && SDL_LockSurface(s) == 0) {
        const SDL_PixelFormat* f = s->format;
        // Band value and mapped pixel bits of each quotient 0..254, per channel.
        int value[255];
        Uint32 red[255], green[255], blue[255];
        for (int q = 0; q < 255; q++) {
            value[q] = band_value(q);
            red[q] = SDL_MapRGB(f, (Uint8)value[q], 0, 0);
            green[q] = SDL_MapRGB(f, 0, (Uint8)value[q], 0);
            blue[q] = SDL_MapRGB(f, 0, 0, (Uint8)value[q]);
        }
        const Uint32 pale = SDL_MapRGB(f, 200, 200, 255);
        const long long base = 100LL * background_phase % BAND_PERIOD;

        // Points 0..500 on both axes; those outside the surface are clipped.
        // x * y is symmetric, so rows are walked in memory order.
        int w = s->w < 501 ? s->w : 501, h = s->h < 501 ? s->h : 501;
        for (int y = 0; y < h; y++) {
            band_walk r, g, b;
            r.start(base, y, 500);
            g.start(base, y, 450);
            b.start(base, y, 400);
            Uint32* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + y * s->pitch);
            for (int x = 0; x < w; x++) {
                if (value[r.q] + value[g.q] + value[b.q] > 720)
                    row[x] = pale;
                else
                    row[x] = red[r.q] | green[g.q] | blue[b.q];
                r.next();
                g.next();
                b.next();
            }
        }
        SDL_UnlockSurface(s);
    }
    background_phase += 2;
    if (background_phase > 2000000000) background_phase -= PHASE_PERIOD * 40000;
}

void menu_backdrop() {
    SDL_FillRect(screen, nullptr, 0);
    draw_background();
    if (logo) {
        SDL_Rect at = {68, 50, 0, 0};
        SDL_BlitSurface(logo, nullptr, screen, &at);
    }
}
