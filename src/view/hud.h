// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's HUD in each player's view: the race clock, this lap's
// time and the best lap, the racer's place and its gap to the racer ahead
// (or behind, when leading), the checkpoints passed, and the minimap. Also
// the leading cameras it draws the views with. Owned per race screen.
#pragma once

#include <SDL/SDL.h>

#include "race/progress.h"
#include "view/camera.h"

struct RaceHud {
    LookAhead look;
    SplitLog splits;
    SDL_Surface* map = nullptr;   // the track's road, drawn once per race
    int map_cells = 0;            // track cells across the map
    RaceHud() = default;
    RaceHud(const RaceHud&) = delete;
    RaceHud& operator=(const RaceHud&) = delete;
    ~RaceHud();
};

// After a race's set-up: no lead, the splits from its start, the map anew.
void hud_race_set_up(RaceHud& hud, const Race& race, const Track& track);

// Draws the HUD of view 1 and, in a two-player race, view 2, after the views
// are composed. While the countdown runs (`counting`) the clocks read 0.
void draw_full_hud(RaceHud& hud, const Race& race, const Track& track, bool counting, bool minimap);
// The clock panel alone, as the full game shows it over a race.
void draw_race_hud(const Race& race, const Track& track, const SplitLog* splits = nullptr, bool counting = false);
void free_race_hud();

// HUD text: the small font's characters, rendered once. Characters it lacks
// are left out.
void hud_text(SDL_Surface* target, int x, int y, const char* s);
// A panel of the HUD's look (opaque, framed in the buttons' pink).
void hud_panel(SDL_Surface* target, int x, int y, int w, int h);
// A gap in steps as "+1.23" or "-0:01.23" past a minute.
void format_gap(long long steps, char* out, size_t size);
// "1st", "2nd", "3rd".
const char* place_name(int place);

// The minimap: the track's road in a few pixels per cell, the checkpoints
// and the racers as dots in their colours, at the bottom right of the view
// whose left edge is at view_x.
void draw_minimap(RaceHud& hud, const Race& race, const Track& track, int view_x);
