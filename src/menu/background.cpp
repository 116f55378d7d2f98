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

static int band(long long v, int width) {
    int c = (int)((v / width) % 255);
    if (c <= 127) c -= 15;
    if (c > 128) c += 15;
    c += 90;
    return c > 255 ? 255 : c;
}

Uint32 background_colour(int x, int y, int phase) {
    long long v = ((long long)x * y + 100LL * phase) % BAND_PERIOD;
    if (v < 0) v += BAND_PERIOD;
    int r = band(v, 500), g = band(v, 450), b = band(v, 400);
    if (r + g + b > 720) return 0xC8C8FFu;
    return (Uint32)(r << 16 | g << 8 | b);
}

void draw_background() {
    SDL_Surface* s = screen;
    if (s && s->format->BytesPerPixel == 4 && SDL_LockSurface(s) == 0) {
        const SDL_PixelFormat* f = s->format;
        // Points 0..500 on both axes; those outside the surface are clipped.
        int w = s->w < 501 ? s->w : 501, h = s->h < 501 ? s->h : 501;
        for (int x = 0; x < w; x++) {
            for (int y = 0; y < h; y++) {
                Uint32 c = background_colour(x, y, background_phase);
                Uint32 px = SDL_MapRGB(f, (Uint8)(c >> 16), (Uint8)(c >> 8), (Uint8)c);
                *(Uint32*)((Uint8*)s->pixels + y * s->pitch + x * 4) = px;
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
