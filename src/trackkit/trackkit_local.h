// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the track makers' kit's files only.
#pragma once

#include <string>
#include <vector>

#include "race/race.h"
#include "trackkit/trackkit.h"

// "ROW:COL" of cell (x, y), counted from 1.
std::string cell_name(int x, int y);
// The file character of a tile code ('x' for every slowing variant).
char tile_char(int code);
// Straights, corners and the finish.
bool road_code(int code);
// True when cell (x, y) draws a picture of its own (see draw_track_view).
bool draws_picture(int x, int y);
// How many road pieces' pictures cover each cell of the grid, [x * size + y].
void road_cover(int size, std::vector<int>& cover);

// The design figures of the level file at `path`, which `track` holds
// loaded, checked and found without errors. Races it headless, so it changes
// the race state; the settings are put back.
void measure_track(const std::string& path, track_figures& figures);
// check's warnings on the figures, by design_limits.
void design_findings(track_report& report);

// A one-player race on the level file at `path` as the level-load screen
// sets it up, with these chains and draws from `seed`, on loaded_track
// (cleared first, as for a fresh game).
Race kit_race(const std::string& path, int a, int b, int c, unsigned seed);
