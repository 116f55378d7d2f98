#include "draw/draw.h"

#include <SDL/SDL_gfxPrimitives.h>
#include <cmath>
#include <cstdio>

#include "shell/clock.h"

char bfr[50];
Uint32 fps_asdf = 0;

const rgb colour_text = {0, 0, 0};
const rgb colour_text2 = {255, 255, 255};
const rgb colour_textv = {252, 206, 251};
const rgb colour_button = {245, 126, 241};
const rgb colour_button_lit = {175, 40, 170};

static void render_and_blit(SDL_Surface* target, int x, int y, const char* s, TTF_Font* font,
                            const rgb& c) {
    if (!target || !font || !s) return;
    SDL_Color colour = {c.r, c.g, c.b, 0};
    SDL_Surface* rendered = TTF_RenderText_Blended(font, s, colour);
    if (!rendered) return;   // e.g. an empty string: nothing to draw
    SDL_Rect at = {(Sint16)x, (Sint16)y, 0, 0};
    SDL_BlitSurface(rendered, nullptr, target, &at);
    SDL_FreeSurface(rendered);
}

void text(SDL_Surface* target, int x, int y, const char* s, TTF_Font* font) {
    render_and_blit(target, x, y, s, font, colour_text);
}

void text(SDL_Surface* target, int x, int y, int value, TTF_Font* font) {
    snprintf(bfr, sizeof bfr, "%d", value);
    render_and_blit(target, x, y, bfr, font, colour_text);
}

void text(SDL_Surface* target, int x, int y, double value, TTF_Font* font) {
    snprintf(bfr, sizeof bfr, "%G", value);
    render_and_blit(target, x, y, bfr, font, colour_text);
}

void text2(SDL_Surface* target, int x, int y, const char* s, TTF_Font* font) {
    render_and_blit(target, x, y, s, font, colour_text2);
}

void textv(SDL_Surface* target, int x, int y, const char* s, TTF_Font* font) {
    render_and_blit(target, x, y, s, font, colour_textv);
}

void nappula(SDL_Surface* target, int x, int y, const char* label, int selected, int index,
             TTF_Font* font) {
    const Sint16 x1 = (Sint16)x, y1 = (Sint16)y, x2 = (Sint16)(x + 140), y2 = (Sint16)(y + 20);
    if (selected == index)
        boxRGBA(target, x1, y1, x2, y2, colour_button_lit.r, colour_button_lit.g,
                colour_button_lit.b, 255);
    else
        boxRGBA(target, x1, y1, x2, y2, colour_button.r, colour_button.g, colour_button.b, 170);
    rectangleRGBA(target, x1, y1, x2, y2, colour_textv.r, colour_textv.g, colour_textv.b, 255);
    textv(target, x + 3, y + 3, label, font);
}

int FPS() {
    Uint32 elapsed = game_ticks() - fps_asdf;
    // Less than a millisecond since the last frame: report 1000 rather than divide by zero.
    Uint32 rate = elapsed == 0 ? 1000u : 1000u / elapsed;
    fps_asdf = game_ticks();
    return (int)rate;
}

int distance(int x1, int y1, int x2, int y2) {
    // Differences in 64 bits: positions far outside the track must not overflow.
    long long dx = (long long)x1 - x2, dy = (long long)y1 - y2;
    if (dx < 0) dx = -dx;
    if (dy < 0) dy = -dy;
    double d = std::sqrt(std::pow((double)dx, 2.0) + std::pow((double)dy, 2.0));
    if (!(d < 2147483647.0)) return 2147483647;
    return (int)d;
}

int prt(int a) {
    if (a < -360) a = a - (a / 360) * 360;
    if (a < 0) a = a + 360;
    return a - (a / 360) * 360;
}

int prt(double d) {
    // Values beyond int (or not a number) have no whole degree; treat them as 0.
    if (!(d > -2147483648.0 && d < 2147483648.0)) return 0;
    return prt((int)d);
}

int kulmaf(int x1, int y1, int x2, int y2) {
    if (x1 == x2 || y1 == y2) return 180;
    double a = std::atan2((double)x1 - (double)x2, (double)y1 - (double)y2);
    return (int)(a * DEG) + 180;
}

float abs(float a, float /*b*/) {
    return a < 0.0f ? -a : a;
}
