// SPDX-License-Identifier: GPL-3.0-or-later
// The track makers' kit (chainball-track): check a level file as the game
// reads it, measure its design figures, and draw it whole. Built on the
// game's own loader, route walk, race and drawing; the game does not link
// it. Owns the kit's fonts and pictures (kit_open_data to kit_close_data).
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

// The design limits: `check` warns when a figure lies outside them, and
// docs/tracks.md shows this table as `chainball-track limits` prints it.
struct design_limit {
    const char* figure;   // as `stats` names it
    double value;         // under Off-road Free, the classic game's rule
    double slows_value;   // under Off-road Slows; LIMIT_NOT_HELD: not checked
    const char* rule;     // when check warns, in words
};
constexpr double LIMIT_NOT_HELD = -1;
enum {
    LIMIT_SHORTCUT_RATIO,
    LIMIT_CUT_GAIN,
    LIMIT_MUD_CUT,
    LIMIT_LAP_SHORTEST,
    LIMIT_LAP_LONGEST,
    LIMIT_GRID_BALLS,
    LIMIT_VIEW_CELLS,
    LIMIT_NAME_PIXELS,
    LIMIT_COUNT
};
extern const design_limit design_limits[LIMIT_COUNT];

// The computer lap is given up after this many seconds.
constexpr int LAP_GIVE_UP_SECONDS = 600;
constexpr double LAP_NOT_MEASURABLE = -2;

// The cut gain is measured with these chain lengths; check holds the last
// one to LIMIT_CUT_GAIN.
constexpr int CUT_CHAINS = 2;
constexpr int cut_chains[CUT_CHAINS] = {1, 7};
constexpr double CUT_NOT_MEASURED = -1000;

// The figures are measured under both off-road rules of the race, indexed
// by OFF_ROAD_FREE (grass as fast as road) and OFF_ROAD_SLOWS.
constexpr int KIT_RULES = 2;
extern const char* const kit_rule_names[KIT_RULES];   // "free", "slows"

// One line of `check`: FILE:ROW:COL: error|warning: message. Rows and
// columns of grid cells count from 1; row 0 is the size field (column 1)
// or, with column 0, the file as a whole.
struct finding {
    int row, col;
    bool error;
    std::string message;
};

// The figures of a track that the off-road rule changes.
struct rule_figures {
    double lap_seconds = -1;       // player 3's first lap; < 0: none in time,
                                   // or LAP_NOT_MEASURABLE without a checkpoint
    // The first lap of each computer driver with a 7-ball chain, as
    // lap_seconds: Classic, Good, Expert.
    double driver_lap_seconds[3] = {-1, -1, -1};
    // Best laps, in seconds (< 0: none), of a script driver at player 1's
    // keys aiming at every waypoint (road) and at every fourth (cut), and
    // the cut's gain in percent of the road lap (CUT_NOT_MEASURED without
    // both laps), per chain of cut_chains.
    double road_lap[CUT_CHAINS] = {-1, -1}, cut_lap[CUT_CHAINS] = {-1, -1};
    double cut_gain[CUT_CHAINS] = {CUT_NOT_MEASURED, CUT_NOT_MEASURED};
    // The steps the cutting driver's head stood on plain ground and on
    // slowing cells in its best lap: a cut that gains over the slowing cells
    // alone is a mud cut, which the grass does not weigh.
    int cut_grass_steps[CUT_CHAINS] = {0, 0}, cut_slowing_steps[CUT_CHAINS] = {0, 0};
    int cut_skips = -1;            // a checkpoint the cut never touches, so it makes no lap; or -1
    // The driver at every waypoint over the mud cuts and round by the road
    // (best laps in seconds, < 0: none); the gain in percent of its lap
    // round, CUT_NOT_MEASURED without both laps or without a mud cut.
    double across_lap[CUT_CHAINS] = {-1, -1}, round_lap[CUT_CHAINS] = {-1, -1};
    double mud_gain[CUT_CHAINS] = {CUT_NOT_MEASURED, CUT_NOT_MEASURED};
};

// The design figures of a track with no errors.
struct track_figures {
    bool measured = false;
    int size = 0;
    double route_px = 0;          // the waypoints' closed line
    int waypoints = 0, checkpoints = 0;
    bool clockwise = false;
    const char* finish_side = "";  // "left", "right" or "inside"
    int wide_cells = 0;            // '+' lanes the full game draws as road
    double shortcut_ratio = -1;    // < 0: not measurable (no checkpoint)
    double open_way = 0, road_way = 0;   // the two ways, in cells
    // The mud cuts: straights over slowing cells that save four cells or
    // more of road (their laps are in `rule`).
    int mud_cuts = 0;
    std::vector<std::pair<int, int>> mud_cut_cells;   // where each leaves and rejoins the road: cells x * size + y
    rule_figures rule[KIT_RULES];   // the laps and gains under each off-road rule
    int grid_balls = 0;            // 0 .. 10 balls of every racer with room
    int grid_overlap = -1;         // first checkpoint whose marker the grid touches, or -1
    int view_cells = 0;            // what one view shows across
    std::string name;              // the catalogue name: the file name less ".txt"
    int name_pixels = 0;           // its width in the small font
    int name_room = 0;             // room for it in the "Level:" button
};

struct track_report {
    std::string path;
    std::vector<finding> findings;
    track_figures figures;
    int count(bool errors) const;
};

// Loads the small font and the pictures from `folder` (the data folder,
// holding VeraMoBd.ttf, set.png, ...). False with the cause in `why`.
bool kit_open_data(const std::string& folder, std::string& why);
void kit_close_data();
// The data folder beside the executable, else ./filut.
std::string kit_default_data_folder();

// Reads `path` exactly as the game does and fills report.findings; then,
// when there is no error, report.figures and the design warnings. Leaves
// `track` holding the level (or whatever the load left).
void check_track(const std::string& path, track_report& report);

// The shortest 8-connected way, in cells (a diagonal costs the square root
// of 2 and is taken only where both side cells are open), from the finish
// cell through every checkpoint cell in order and back, over the cells
// `open` allows (indexed [x * size + y]). < 0 when there is none.
double shortest_lap_way(const std::vector<bool>& open, int size);

// Draws the track of `path` whole into a PNG file: the grid one pixel per
// pixel shrunk by `scale` (0 < scale <= 1), with `route` the waypoints, the
// checkpoint markers, the finish strip and the start grid on top. The slowing
// cells' variants come from srand(seed). False with the cause in `why`.
bool render_track(const std::string& path, const std::string& out, bool route, double scale,
                  unsigned seed, std::string& why);

// Whether `path` may take a picture of the track file `input`: missing, or
// a regular file other than the input. False with the cause in `why`.
bool output_usable(const std::string& input, const std::string& path, std::string& why);
// Writes `s` (any pixel format) as an 8-bit RGB PNG file: to a new file
// beside `path`, renamed to it once whole. False with the system's reason in
// `why`, and nothing left behind.
bool write_png(struct SDL_Surface* s, const std::string& path, std::string& why);

// Text of the reports.
void print_findings(const track_report& r, FILE* out);
void print_figures(const track_report& r, FILE* out);
void print_figures_json(const std::vector<track_report>& reports, FILE* out);
void print_limits(FILE* out);

// The whole command line of chainball-track. Returns the exit status.
int track_kit_main(int argc, const char* const* argv, FILE* out, FILE* err);
