// SPDX-License-Identifier: GPL-3.0-or-later
// Text in three colours and the menu button, rendered with SDL_ttf.
#include "draw/draw.h"

#include <SDL/SDL_gfxPrimitives.h>
#include <cstdio>

#include "core/state.h"

char label_buffer[50];   // whole run; each label overwrites the last

const rgb colour_text = {0, 0, 0};
const rgb colour_text_white = {255, 255, 255};
const rgb colour_text_pink = {252, 206, 251};
const rgb racer_colours[3] = {{44, 108, 232}, {255, 150, 30}, {240, 240, 246}};
const rgb colour_button = {245, 126, 241};
const rgb colour_button_lit = {175, 40, 170};
const rgb colour_panel = {34, 18, 40};
const rgb colour_gold = {255, 214, 64};

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
    snprintf(label_buffer, sizeof label_buffer, "%d", value);
    render_and_blit(target, x, y, label_buffer, font, colour_text);
}

void text(SDL_Surface* target, int x, int y, double value, TTF_Font* font) {
    snprintf(label_buffer, sizeof label_buffer, "%G", value);
    render_and_blit(target, x, y, label_buffer, font, colour_text);
}

void text_white(SDL_Surface* target, int x, int y, const char* s, TTF_Font* font) {
    render_and_blit(target, x, y, s, font, colour_text_white);
}

void text_pink(SDL_Surface* target, int x, int y, const char* s, TTF_Font* font) {
    render_and_blit(target, x, y, s, font, colour_text_pink);
}

// The full game's buttons: the same frame, the colours of a readable pair,
// well over 4.5:1 each (white on the dark panel, the panel on the light pink).
static void draw_full_game_button(SDL_Surface* target, int x, int y, const char* label, bool lit, TTF_Font* font) {
    const Sint16 x1 = (Sint16)x, y1 = (Sint16)y, x2 = (Sint16)(x + 140), y2 = (Sint16)(y + 20);
    const rgb& box = lit ? colour_text_pink : colour_panel;
    boxRGBA(target, x1, y1, x2, y2, box.r, box.g, box.b, 255);
    rectangleRGBA(target, x1, y1, x2, y2, colour_text_pink.r, colour_text_pink.g, colour_text_pink.b, 255);
    render_and_blit(target, x + 3, y + 3, label, font, lit ? colour_panel : colour_text_white);
}

void text_on_panel(SDL_Surface* target, int x, int y, const char* s, TTF_Font* font, const rgb& colour) {
    int w = 0, h = 0;
    if (!target || !font || !s || TTF_SizeText(font, s, &w, &h) != 0) return;
    const Sint16 x1 = (Sint16)(x - 8), y1 = (Sint16)(y - 4), x2 = (Sint16)(x + w + 8), y2 = (Sint16)(y + h + 4);
    boxRGBA(target, x1, y1, x2, y2, colour_panel.r, colour_panel.g, colour_panel.b, 255);
    rectangleRGBA(target, x1, y1, x2, y2, colour_text_pink.r, colour_text_pink.g, colour_text_pink.b, 255);
    render_and_blit(target, x, y, s, font, colour);
}

void draw_button(SDL_Surface* target, int x, int y, const char* label, int selected, int index,
             TTF_Font* font) {
    if (full_game) {
        draw_full_game_button(target, x, y, label, selected == index, font);
        return;
    }
    const Sint16 x1 = (Sint16)x, y1 = (Sint16)y, x2 = (Sint16)(x + 140), y2 = (Sint16)(y + 20);
    if (selected == index)
        boxRGBA(target, x1, y1, x2, y2, colour_button_lit.r, colour_button_lit.g,
                colour_button_lit.b, 255);
    else
        boxRGBA(target, x1, y1, x2, y2, colour_button.r, colour_button.g, colour_button.b, 170);
    rectangleRGBA(target, x1, y1, x2, y2, colour_text_pink.r, colour_text_pink.g, colour_text_pink.b, 255);
    text_pink(target, x + 3, y + 3, label, font);
}
