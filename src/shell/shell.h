// The game shell: start-up, the asset inventory, the settings, the screen
// loop and shut-down. Everything the screens keep between frames is owned here.
#pragma once

#include <SDL/SDL.h>
#include <SDL/SDL_mixer.h>
#include <SDL/SDL_ttf.h>

// game_screen values.
enum { SCREEN_QUIT = 0, SCREEN_MENU = 1, SCREEN_RACE = 2, SCREEN_SETTINGS = 4, SCREEN_LOAD = 5 };
extern int game_screen;

struct RaceSettings {
    int chain_length[3];   // player 1..3; 0 = does not take part
    int laps;
    int level_index;
    bool music_on;
};
extern RaceSettings race_settings;
extern bool kaksinpeli;    // two-player mode

extern int screen_leveys;  // width of one view: 500, or 400 in a two-player race
extern int screen_korkeus; // 500
extern int menu_cursor;
extern int background_phase;

// Surfaces, fonts and pictures, made once at start-up.
extern SDL_Surface* screen;
extern SDL_Surface* second_view;   // 400 x 500
extern SDL_Surface* frozen_frame;  // 800 x 500
extern TTF_Font* small_font;       // 12
extern TTF_Font* large_font;       // 36
extern Mix_Chunk* music_chunk;
extern SDL_Surface* lap_bar;       // filut/palkki.png
extern SDL_Surface* finish_image;  // filut/maali.png
extern SDL_Surface* marker_idle;   // filut/donut.png
extern SDL_Surface* marker_lit;    // filut/donut2.png
extern SDL_Surface* logo;          // filut/pp.png

// SDL_SetVideoMode(w, h, 32, SDL_HWSURFACE | SDL_DOUBLEBUF); updates `screen`.
void set_video_mode(int w, int h);

// Moves the working directory to the folder that holds filut/: beside the
// executable, else the current directory. Returns false when neither has it.
bool find_data_folder();

// Gives settings and shell state their start values (start-up step 6).
void reset_shell_state();

// Start-up steps 1 to 12. Returns false (after printing why on stderr) when
// a file the game cannot run without is missing.
bool startup();
void run_screen_loop();
void shutdown_game();

int SDL_main(int argc, char** argv);
