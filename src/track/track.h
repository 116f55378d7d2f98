// Tracks: the level catalogue, the level loader with its route walk, and the
// tile pieces with the drawing of the grid. Owns `track`, `race_start_ticks`,
// `level_names`, `last_level_index` and the tile pieces.
#pragma once

#include <SDL/SDL.h>

#include <cstdio>

enum {
    TILE_GROUND = 0,
    TILE_H_STRAIGHT = 6,   // '='
    TILE_V_STRAIGHT = 7,   // 'T'
    TILE_CORNER_1 = 8,     // '1' .. '4' are 8 .. 11
    TILE_FINISH = 12,      // 'M'
    TILE_BLANK = 999,      // '#'
};

constexpr int MAX_TRACK = 500;     // grid capacity; size is at most 499
constexpr int MAX_WAYPOINTS = 1000;
constexpr int MAX_CHECKPOINTS = 50;
constexpr int MAX_LEVELS = 500;
constexpr int LEVEL_NAME_LEN = 50;

struct waypoint { int x, y; };
struct checkpoint { int x, y, lit; };

struct Track {
    int size;
    int tiles[MAX_TRACK][MAX_TRACK];   // [column][row]
    int finish_x, finish_y;
    int straight_count;
    waypoint waypoints[MAX_WAYPOINTS];
    int waypoint_count;
    checkpoint checkpoints[MAX_CHECKPOINTS];
    int checkpoint_count;
};
extern Track track;
extern Uint32 race_start_ticks;

extern char level_names[MAX_LEVELS][LEVEL_NAME_LEN];
extern int last_level_index;

// Fills level_names and last_level_index from a catalogue file.
void read_catalogue(const char* path = "filut/levelit/all_levels.txt");

// The name at level_index, or "" when level_index names no entry.
const char* chosen_level_name();

// Reads a level file into `track` and walks its route (loader steps 5 to 9).
// Usable without a window.
void load_level_file(const char* path);

// Screen state 5: window size, race reset, the level at level_index, racer
// placement, race start; leaves game_screen at 2.
void load_level();

// Tile pieces 0..11 cut from filut/set.png.
extern SDL_Surface* tile_pieces[12];
void cut_atlas(SDL_Surface* atlas);   // frees the atlas
void free_tile_pieces();

// Draws the grid into view 1 (screen) and, in two-player mode, view 2.
void draw_track();

// Level and catalogue files are read one character at a time with whitespace
// skipped (space, tab, line feed, carriage return, vertical tab, form feed).
// Returns false at the end of the file and then leaves `c` as it was.
bool read_nonblank(FILE* f, char& c);

// Code of the cell at column x, row y; 0 for places outside the array.
int tile_at(int x, int y);

// True when (x, y) holds a corner code (8 to 11) and its diagonal neighbour
// (x + 1, y + 1) the same: the top-left cell of a 2 x 2 corner block, the
// only cell that turns the route walk and draws the corner.
bool is_corner_cell(int x, int y);
