#include <cstring>

#include "race/race.h"
#include "shell/shell.h"
#include "track/track.h"
#include "view/view.h"

int game_screen = SCREEN_MENU;
RaceSettings race_settings;
bool kaksinpeli = false;
int screen_leveys = 500;
int screen_korkeus = 500;
int menu_cursor = 0;
int background_phase = 2000;

SDL_Surface* screen = nullptr;
SDL_Surface* second_view = nullptr;
SDL_Surface* frozen_frame = nullptr;
TTF_Font* small_font = nullptr;
TTF_Font* large_font = nullptr;
Mix_Chunk* music_chunk = nullptr;
SDL_Surface* lap_bar = nullptr;
SDL_Surface* finish_image = nullptr;
SDL_Surface* marker_idle = nullptr;
SDL_Surface* marker_lit = nullptr;
SDL_Surface* logo = nullptr;

void reset_shell_state() {
    game_screen = SCREEN_MENU;
    race_settings.chain_length[0] = 7;
    race_settings.chain_length[1] = 2;
    race_settings.chain_length[2] = 5;
    race_settings.laps = 3;
    race_settings.level_index = 0;
    race_settings.music_on = true;
    kaksinpeli = false;
    screen_leveys = 500;
    screen_korkeus = 500;
    menu_cursor = 0;
    background_phase = 2000;
    paused = false;
    reset_race_state();
    std::memset(level_names, 0, sizeof level_names);
    last_level_index = -1;
}
