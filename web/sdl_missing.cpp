// SPDX-License-Identifier: GPL-3.0-or-later
// What the web's SDL lacks or only stubs, for the web game alone: two
// circle functions of SDL_gfx, as the ellipses it has (drawn through the
// canvas), and the mixer's spec, which it keeps but cannot tell.
#include <SDL/SDL_gfxPrimitives.h>
#include <SDL/SDL_mixer.h>
#include <emscripten.h>

int filledCircleRGBA(SDL_Surface* dst, Sint16 x, Sint16 y, Sint16 rad, Uint8 r, Uint8 g, Uint8 b, Uint8 a) {
    return filledEllipseRGBA(dst, x, y, rad, rad, r, g, b, a);
}

int aacircleRGBA(SDL_Surface* dst, Sint16 x, Sint16 y, Sint16 rad, Uint8 r, Uint8 g, Uint8 b, Uint8 a) {
    return ellipseRGBA(dst, x, y, rad, rad, r, g, b, a);
}

// Zero until Mix_OpenAudio, as SDL_mixer's.
int Mix_QuerySpec(int* frequency, Uint16* format, int* channels) {
    const int rate = EM_ASM_INT({ return SDL.mixerFrequency || 0; });
    if (rate == 0) return 0;
    if (frequency) *frequency = rate;
    if (format) *format = (Uint16)EM_ASM_INT({ return SDL.mixerFormat; });
    if (channels) *channels = EM_ASM_INT({ return SDL.mixerNumChannels; });
    return 1;
}
