// The main menu and the settings screen, with their animated background.
// Owns `background_phase`, which runs on for the whole run.
#pragma once

#include <SDL/SDL.h>

extern int background_phase;   // start 2000, +2 a frame

// Colour of background point (x, y) at phase P, as 0xRRGGBB.
Uint32 background_colour(int x, int y, int phase);
// Draws the background onto the window and advances background_phase by 2.
void draw_background();
// Frame steps shared by both menus: black window, background, logo at (68, 50).
void menu_backdrop();

void menu_frame();
void settings_frame();
