// Helpers shared by the track makers' kit's files only.
#pragma once

#include <string>
#include <vector>

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

// The kit's calls into the race (race_calls.cpp): nothing else in the kit
// sets up, steps or reads a race.
// A one-player race of one lap with these chain lengths, its slowing cells
// drawn after srand(seed), as the level-load screen sets it up.
void kit_race_setup(const std::string& path, const int lengths[3], unsigned seed);
enum { KIT_KEY_UP = 1, KIT_KEY_DOWN = 2, KIT_KEY_LEFT = 4, KIT_KEY_RIGHT = 8 };
// One race step with player 1 holding `keys` (KIT_KEY_ bits).
void kit_race_step(unsigned keys);
int kit_race_length(int r);
// Ball b of racer r in world pixels, and its heading in degrees.
struct kit_ball {
    float x, y, heading;
};
kit_ball kit_race_ball(int r, int b);
int kit_race_laps(int r);
// Whether racer r has touched checkpoint k since its last lap.
bool kit_race_passed(int k, int r);
// View 1's camera, for drawing the race's balls into a picture.
void kit_race_camera(int x, int y);
