// SPDX-License-Identifier: GPL-3.0-or-later
// Tracks: the level catalogue and the level loader with its route walk. A
// `Track` is a level's layout, read-only once loaded: the races on it share
// it. Owns `loaded_track` (the game's races and the track kit load into it;
// refilled by every level load) and `level_names` with `last_level_index`
// (read once at start-up). No drawing here: the tile pieces and the drawing
// of the grid are in view/tiles.h.
#pragma once

#include <string>
#include <vector>

#include "base/random.h"
#include "track/racing_line.h"

enum {
    TILE_GROUND = 0,
    TILE_H_STRAIGHT = 6,   // '='
    TILE_V_STRAIGHT = 7,   // 'T'
    TILE_CORNER_1 = 8,     // '1' .. '4' are 8 .. 11
    TILE_FINISH = 12,      // 'M'
    TILE_BLANK = 999,      // '#'
};

// The full game's wide pieces, by the number the atlas and the loader share:
// straights three cells wide, the last cell of a lane (the lane on the
// top or left side or on the other, the road narrowing towards its start or
// its end: right or down), and the corners '1' to '4' three cells wide.
enum {
    WIDE_H_STRAIGHT = 0,
    WIDE_V_STRAIGHT = 1,
    WIDE_H_NARROWS = 2,   // + 2 * (lane below) + (narrows at the end)
    WIDE_V_NARROWS = 6,   // + 2 * (lane right) + (narrows at the end)
    WIDE_CORNER_1 = 10,   // .. 13
    WIDE_PIECES = 14,
};
constexpr unsigned char WIDE_WRITTEN = 0x10;
constexpr unsigned char WIDE_LANE = 0x20;
constexpr unsigned char WIDE_ANCHOR = 0x0f;

constexpr int MAX_TRACK = 500;     // grid capacity; size is at most 499
constexpr int MAX_WAYPOINTS = 1000;
constexpr int MAX_CHECKPOINTS = 50;
constexpr int MAX_LEVELS = 500;
constexpr int LEVEL_NAME_LEN = 50;
// Larger files are refused whole: a 499 x 499 grid with a blank between
// every two cells and a line break per row needs about half a megabyte.
constexpr long long MAX_LEVEL_FILE_BYTES = 4 << 20;
// 500 names of 49 characters need 25 KB.
constexpr long long MAX_CATALOGUE_BYTES = 512 << 10;

struct waypoint { int x, y; };
struct checkpoint { int x, y; };

struct Track {
    int size;
    int tiles[MAX_TRACK][MAX_TRACK];   // [column][row]
    int finish_x, finish_y;
    int straight_count;
    waypoint waypoints[MAX_WAYPOINTS];
    int waypoint_count;
    checkpoint checkpoints[MAX_CHECKPOINTS];
    int checkpoint_count;
    // The slowing picture (1 to 5) the full game shows on each slowing cell:
    // the variant of the first cell, in drawing order, of the stretch of
    // touching slowing cells it belongs to, so a verge reads as one
    // material. 0 elsewhere. Drawing only: the race reads `tiles`.
    unsigned char stretch_piece[MAX_TRACK][MAX_TRACK];
    // Wide roads, also drawing only: a '+' in the file is ground to the race
    // and to the classic game; the full game draws it as a third lane of
    // the road beside it. WIDE_WRITTEN marks the '+' cells, WIDE_LANE those
    // a wide piece draws as road, and the low bits hold 1 + the wide piece
    // whose top-left corner is this cell (0: none).
    unsigned char wide_road[MAX_TRACK][MAX_TRACK];
    // Derived from the layout by a race set-up for the chain lengths whose
    // computer drivers follow a line (at most one per length); emptied by
    // every level load.
    std::vector<RacingLine> racing_lines;
};
extern Track loaded_track;

// Everything zero and no racing lines: a track before any load.
void clear_track(Track& track);
// Sets stretch_piece from the slowing variants in `tiles`: the loader's
// last word, and again whenever a replay's or host's draws replace them.
void mark_slowing_stretches(Track& track);

// Cell (x, y), inside the grid, is plain ground: neither road, nor a
// slowing cell, nor a '+' lane the full game draws as road.
inline bool plain_ground(const Track& track, int x, int y) {
    return track.tiles[x][y] == TILE_GROUND && !(track.wide_road[x][y] & WIDE_LANE);
}

extern char level_names[MAX_LEVELS][LEVEL_NAME_LEN];
extern int last_level_index;

// Fills level_names and last_level_index from a catalogue file. Names that
// could lead out of the level folder (holding '/' or '\', or starting with
// '.') are skipped with one line on stderr.
void read_catalogue();
void read_catalogue(const char* path);

// The name at level_index, or "" when level_index names no entry.
const char* chosen_level_name();
// The name the next track of the catalogue goes by: the one after
// level_index, wrapped as wrap_level_index wraps it; "" with no catalogue.
const char* next_level_name();

// The same for any index of the catalogue ("" outside it), and the file a
// race on it loads (the --track file when given).
const char* level_name_at(int index);
std::string level_file_at(int index);
// A level index after Left or Right, brought back into 0..last_level_index.
int wrapped_level_index(int index);

// The level file of a catalogue name: levelit/NAME.txt in the data folder.
std::string level_file_path(const char* name);

// The file the next race loads: the --track file, or the chosen name's.
std::string chosen_level_file();

// Wraps level_index into 0..last_level_index after Left or Right on the
// settings and race-end screens. With a catalogue holding no '#'-closed name
// it stays at 0, so it never names a negative entry.
void wrap_level_index();

// Read-only watchers of a level load, for the track makers' check: what the
// loader reads and walks beyond what `track` keeps. The game never installs
// one; with `level_watch` null the loader calls nothing. Any member may be
// null.
struct route_step {
    int x, y;          // the cell the walk stands on
    int heading;       // 0 right, 1 down, 2 left, 3 up: the heading it leaves by
                       // (after a corner's turn); at the stop, the one it came with
    bool waypoint;     // it lays a waypoint here (or would, past MAX_WAYPOINTS)
    bool checkpoint;   // it lays a checkpoint here (or would, past MAX_CHECKPOINTS)
    bool stop;         // the cell after the last step, where the walk stopped
};
struct level_load_watch {
    // What the size field holds (up to four characters) and what it reads as.
    void (*size_field)(const char* as_written, int size);
    // Every character of the grid with the cell it fills, counted from 0;
    // once with row == MAX_TRACK for the first character that is dropped.
    void (*cell)(char c, int col, int row);
    // Every step of the route walk, then once more with `stop` set.
    void (*walk)(const route_step& step);
};
extern const level_load_watch* level_watch;   // null except while a check runs

// The file every race loads instead of the catalogue's chosen one: set by
// `chainball --track FILE` for the whole run, null otherwise.
extern const char* track_file_override;
// The name a level file goes by: its base name less ".txt".
std::string level_name_of_file(const std::string& path);
// Why `name` cannot stand as a track's name in a replay file (one word of
// printable ASCII, no '/', '\\' or '#', not starting with '.', at most 49
// characters), in words; "" when it can.
std::string track_name_fault(const std::string& name);
// Makes the catalogue hold just the level file at `path`, named after it
// (level_name_of_file, cut to 49 characters; shown, never used as a path),
// and has every race load that file. `path` must last the whole run.
void catalogue_of_one_file(const char* path);

// Reads a level file into `track` (size field, grid) and walks its route,
// dropping the racing lines of the layout before.
// The slowing cells draw their pictures' variants from `random`. A level
// without a finish cell keeps the finish of the track loaded before.
// A file that cannot be used (missing, not a regular file, too large) loads
// as an empty level, with one line on stderr naming the cause.
void load_level_file(Track& track, const char* path, Random& random);
// The same for a level held in memory (`name` only in messages).
void load_level_text(Track& track, const char* name, const std::string& text, Random& random);
