// SPDX-License-Identifier: GPL-3.0-or-later
// The racing line of a track for one chain length: a cost-to-go field over a
// grid of 25-pixel cells, for each leg of a lap (to checkpoint 0, 1, ...,
// then to the finish strip), built once at race set-up from the track's
// layout alone. Cells inside slowing tiles cost what crossing them costs a
// chain of that length; cells close to them cost a little more, as a long
// chain cuts the inside of a corner. Where the race slows a head off the
// road, plain ground costs what its lower top speed costs. Integer costs and
// a fixed visiting order: every machine builds the same line.
#pragma once

#include <cstdint>
#include <vector>

struct Track;

constexpr int LINE_CELL = 25;        // pixels per side of a line cell: a tile holds 2 x 2
constexpr int LINE_OPEN_COST = 10;   // cost per pixel of open ground (tenths)
constexpr int LINE_MUD_COST = 48;    // ... inside a slowing cell: a head crawls there at 1.15
// ... on plain ground where it slows a head: 0.65 of the top speed costs
// 10 / 0.65, and a little more for speeding up again on the road.
constexpr int LINE_GROUND_COST = 16;
// A track whose cells times legs exceed this gets no line (about 12 MB and a
// third of a second to build): 200 x 200 tiles with 11 checkpoints, say. The
// shipped tracks need a twentieth of it.
constexpr long long LINE_MOST_ENTRIES = 2 << 20;

struct RacingLine {
    int cols = 0;           // line cells per side (track size * 2)
    int legs = 0;           // checkpoints + 1: the last leg ends in the finish strip
    int chain_length = 0;   // the chain it was built for
    bool ground_slows = false;   // ... and whether plain ground slows a head
    int finish_x = 0, finish_y = 0;
    std::vector<int> cp_x, cp_y;        // the point each checkpoint is touched around
    std::vector<uint8_t> factor;        // per cell: cost per pixel (LINE_OPEN_COST on open ground)
    std::vector<uint8_t> seed;          // legs x cells: 1 where the leg's target is reached
    std::vector<int32_t> cost;          // legs x cells: cost to the end of the lap
    std::vector<int8_t> next;           // legs x cells: the move towards the target, -1 none
    // Sine and cosine of each whole degree, as a head's movement takes them
    // (sine_of_degrees, cosine_of_degrees):
    // what the drivers foretell their moves with.
    std::vector<double> sine, cosine;
};

// The 16 moves between line cells (sides, diagonals, knight's moves).
constexpr int LINE_MOVES = 16;
extern const int line_move_dx[LINE_MOVES], line_move_dy[LINE_MOVES];
// The heading (whole degrees) that drives a head along each move.
extern const int line_move_heading[LINE_MOVES];

// Builds the line of `t` for a chain of `chain_length` balls, with plain
// ground as fast as road or, with `ground_slows`, slower. A track with no
// finish on its grid, or too large for a line, gets an empty line (cols 0).
RacingLine build_racing_line(const Track& t, int chain_length, bool ground_slows = false);

// The line of `t` built for `chain_length` and `ground_slows`, null when
// none was built or the track has none.
const RacingLine* racing_line_for(const Track& t, int chain_length, bool ground_slows = false);
// Builds that line into t.racing_lines unless it is there already.
void add_racing_line(Track& t, int chain_length, bool ground_slows = false);

// Index of the cell under world pixel (x, y), or -1 off the grid.
int line_cell_at(const RacingLine& line, float x, float y);

// Checkpoints are touched within 54 pixels of their point; the line aims
// well inside that, as a cell's centre is up to 7 pixels from the head.
constexpr int LINE_TOUCH_AIM = 44;

// True when (x, y) counts as reaching leg `leg`'s target: within the touch
// aim of its checkpoint, or inside the finish strip. (Inline: the drivers
// ask it for every step they foretell.)
inline bool line_target_reached(const RacingLine& line, int leg, float x, float y) {
    if (leg < 0 || leg >= line.legs) return false;
    if (leg == line.legs - 1)
        return x > line.finish_x + 4 && x < line.finish_x + 96 && y > line.finish_y + 2 &&
               y < line.finish_y + 18;
    const double dx = x - line.cp_x[leg], dy = y - line.cp_y[leg];
    return dx * dx + dy * dy <= (double)LINE_TOUCH_AIM * LINE_TOUCH_AIM;
}
