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
// True when cell (x, y), inside the grid, is road: a road piece, a '#' that
// a piece covers (`cover` from road_cover), or a '+' lane the full game
// draws as road.
bool road_cell(const std::vector<int>& cover, int x, int y);

// The design figures of the level file at `path`, which `track` holds
// loaded, checked and found without errors. Races it headless, so it changes
// the race state; the settings are put back.
void measure_track(const std::string& path, track_figures& figures);
// check's warnings on the figures, by design_limits.
void design_findings(track_report& report);

// The kit's calls into the race (race_calls.cpp): nothing else in the kit
// sets up or steps a race.
// A one-player race on the level file at `path` as the level-load screen
// sets it up, with these chains and draws from `seed`, under the off-road
// rule `off_road`, on loaded_track (cleared first, as for a fresh game).
Race kit_race(const std::string& path, int a, int b, int c, unsigned seed, int off_road = OFF_ROAD_FREE);
// One step on loaded_track with player 1 holding ACTION_* bits (0: nobody
// drives but the computer).
void kit_race_step(Race& race, unsigned player1_actions);
// Ball b of racer r in world pixels, and its heading in degrees.
struct kit_ball {
    float x, y, heading;
};
kit_ball kit_race_ball(const Race& race, int r, int b);

// A script driver at player 1's keys with a `chain`-ball chain, alone on the
// track: it aims at every `stride`-th waypoint of the route (1: the road,
// 4: across the insides of the corners), or at the waypoints `aims` in turn,
// and races a few laps under the off-road rule `off_road`.
constexpr int CUT_STRIDE = 4;   // the corner-cutting driver's
struct script_run {
    double best = -1;     // its best lap in seconds; < 0: no lap
    int unpassed = -1;    // without a lap: the first checkpoint it never touched
    bool left_road = false;   // its head stood on a cell off the road (grass or slowing) at some step
    // Of its best lap: the steps its head stood on plain ground, and on
    // slowing cells.
    int grass_steps = 0, slowing_steps = 0;
};
// With `hold` above 0 it is held to the road: where its keys would take its
// head off the road within `hold` steps it turns harder, lifts off or brakes.
script_run script_drive(const std::string& path, int chain, int stride, int off_road, int hold = 0);
script_run script_drive(const std::string& path, int chain, const std::vector<int>& aims, int off_road,
                        int hold = 0);
// The look-aheads of the cutting driver held to the road: one that looks
// too far ahead gives up a corner, one too near runs off before it turns.
constexpr int HOLD_LOOKS[] = {4, 8, 12};

// A mud cut: the straight from waypoint `from` to waypoint `to` (from < to,
// both of the route of loaded_track) runs over road and slowing cells only,
// and over at least one slowing cell, saves four cells or more of the
// road's way between them (`road` px, against the straight's `line` px),
// and passes near every checkpoint it leaves out, so it makes a lap.
struct mud_cut {
    int from, to;
    double line, road;
};
// The mud cuts of loaded_track that do not overlap along the route, in
// route order: of overlapping ones, the one with the least line for its road.
std::vector<mud_cut> find_mud_cuts();
// The route's waypoints in order, less those the cuts skip.
std::vector<int> aims_across(const std::vector<mud_cut>& cuts);
