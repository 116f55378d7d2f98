// Text, button and arithmetic helpers shared by every screen.
// Owns the label buffer `bfr` and the frame-start time `fps_asdf`.
#pragma once

#include <SDL/SDL.h>
#include <SDL/SDL_ttf.h>

extern char bfr[50];      // every label is formatted here, snprintf limit 50
extern Uint32 fps_asdf;   // tick count at the latest FPS() call

// Colours of the helpers.
struct rgb { Uint8 r, g, b; };
extern const rgb colour_text;          // black
extern const rgb colour_text2;         // white
extern const rgb colour_textv;         // light pink, also the button frame
extern const rgb colour_button;        // button box, alpha 170
extern const rgb colour_button_lit;    // highlighted button box, alpha 255

void text(SDL_Surface* target, int x, int y, const char* s, TTF_Font* font);
void text(SDL_Surface* target, int x, int y, int value, TTF_Font* font);
void text(SDL_Surface* target, int x, int y, double value, TTF_Font* font);
void text2(SDL_Surface* target, int x, int y, const char* s, TTF_Font* font);
void textv(SDL_Surface* target, int x, int y, const char* s, TTF_Font* font);

void nappula(SDL_Surface* target, int x, int y, const char* label, int selected, int index,
             TTF_Font* font);

// Records the frame start in fps_asdf; returns the rate of the previous frame.
int FPS();

int distance(int x1, int y1, int x2, int y2);
int prt(int angle);
int prt(double angle);
int kulmaf(int x1, int y1, int x2, int y2);
float abs(float a, float b);

// Degrees <-> radians.
constexpr double DEG = 57.29577957855229;
