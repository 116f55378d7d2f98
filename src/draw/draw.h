// SPDX-License-Identifier: GPL-3.0-or-later
// Text and button helpers shared by every screen. Owns the label buffer
// `label_buffer` and the colours. The arithmetic is in base/arith.h, time and pacing
// in base/clock.h.
#pragma once

#include <SDL/SDL.h>
#include <SDL/SDL_ttf.h>

// Every label is formatted here, snprintf limit 50; lives for the whole run.
extern char label_buffer[50];

// Colours of the helpers.
struct rgb { Uint8 r, g, b; };
extern const rgb colour_text;          // black
extern const rgb colour_text_white;         // white
extern const rgb colour_text_pink;         // light pink, also the button frame
// The racers' own hues, as their balls show them: blue, orange, pearl.
extern const rgb racer_colours[3];
extern const rgb colour_button;        // button box, alpha 170
extern const rgb colour_button_lit;    // highlighted button box, alpha 255
extern const rgb colour_panel;         // the full game's dark panels and buttons
extern const rgb colour_gold;          // the full game's news ("New record!")

void text(SDL_Surface* target, int x, int y, const char* s, TTF_Font* font);
void text(SDL_Surface* target, int x, int y, int value, TTF_Font* font);
void text(SDL_Surface* target, int x, int y, double value, TTF_Font* font);
void text_white(SDL_Surface* target, int x, int y, const char* s, TTF_Font* font);
void text_pink(SDL_Surface* target, int x, int y, const char* s, TTF_Font* font);

// Text on an opaque dark panel with the pink frame: readable whatever is under it.
void text_on_panel(SDL_Surface* target, int x, int y, const char* s, TTF_Font* font, const rgb& colour);

// A menu button: its box lit when `selected` is `index`. The full game's
// are dark with white text, lit light pink with dark text.
void draw_button(SDL_Surface* target, int x, int y, const char* label, int selected, int index,
             TTF_Font* font);
