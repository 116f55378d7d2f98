// SPDX-License-Identifier: GPL-3.0-or-later
// Level loading: the size field, the grid, and the route walk that lays the
// computer drivers' waypoints and the checkpoints along the road.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/files.h"
#include "track/track.h"
#include "track/track_local.h"

int tile_at(const Track& track, int x, int y) {
    if (x < 0 || y < 0 || x >= MAX_TRACK || y >= MAX_TRACK) return TILE_GROUND;
    return track.tiles[x][y];
}

bool is_corner_cell(const Track& track, int x, int y) {
    int t = tile_at(track, x, y);
    return t >= TILE_CORNER_1 && t <= TILE_CORNER_1 + 3 && tile_at(track, x + 1, y + 1) == t;
}

// Slowing variants 1 to 3 are common, 4 and 5 rare.
static int slowing_variant(Random& random) {
    int v = random_next(random) % 3 + 1;
    if (random_next(random) % 3 == 0) v = random_next(random) % 5 + 1;
    return v;
}

// The first four non-whitespace characters, read the way atoi reads them. A
// read at the end of the file keeps the previous character, so a missing or
// empty file gives four zero characters.
// `as_written` gets what the file really holds of the field, for messages.
static int read_size_field(FILE* f, std::string& as_written) {
    char field[5] = {};
    char c = 0;
    for (int i = 0; i < 4; i++) {
        if (f && read_nonblank(f, c)) as_written += c;
        field[i] = c;
    }
    const int size = std::atoi(field);
    if (level_watch && level_watch->size_field) level_watch->size_field(as_written.c_str(), size);
    return size;
}

static void place_cell(Track& track, Random& random, char c, int col, int row) {
    int& cell = track.tiles[col][row];
    switch (c) {
        case '.': cell = TILE_GROUND; break;
        case 'x': cell = slowing_variant(random); break;
        case '=':
            cell = TILE_H_STRAIGHT;
            track.straight_count++;
            break;
        case 'T':
            cell = TILE_V_STRAIGHT;
            track.straight_count++;
            break;
        case '1':
        case '2':
        case '3':
        case '4': cell = TILE_CORNER_1 + (c - '1'); break;
        case 'M':
            cell = TILE_FINISH;
            track.finish_x = col * 50;
            track.finish_y = row * 50;
            break;
        case '#': cell = TILE_BLANK; break;
        default: break;   // no meaning: the cell stays as cleared
    }
}

// Row by row; characters past size * size run on into the rows below the
// square, and those past the array's last row are dropped.
static void read_grid(Track& track, Random& random, FILE* f, int size) {
    int col = 0, row = 0;
    char c = 0;
    const bool watched = level_watch && level_watch->cell;
    while (read_nonblank(f, c)) {
        if (watched) level_watch->cell(c, col, row);
        if (row >= MAX_TRACK) break;
        place_cell(track, random, c, col, row);
        if (c == '+' && row < size) track.wide_road[col][row] |= WIDE_WRITTEN;
        col++;
        if (col > size - 1) {
            row++;
            col = 0;
        }
    }
}

// New heading after a corner, by corner code 8..11 and heading; -1 keeps it.
// Headings: 0 right, 1 down, 2 left, 3 up.
static const int corner_turns[4][4] = {
    {-1, -1, 1, 0},   // '1'
    {1, -1, -1, 2},   // '2'
    {3, 2, -1, -1},   // '3'
    {-1, 0, 3, -1},   // '4'
};

// Walks the road from the finish cell, heading up, turning at corners, until
// it has passed as many straights as the file holds.
void walk_route(Track& track) {
    int cx = track.finish_x / 50, cy = track.finish_y / 50;
    int heading = 3;
    int straights = 0, spacing = 0, steps = 0;
    int size = track.size;
    track.waypoint_count = 0;
    track.checkpoint_count = 0;

    const bool watched = level_watch && level_watch->walk;
    while (straights < track.straight_count) {
        int t = tile_at(track, cx, cy);
        if (t == TILE_FINISH) {
            track.finish_x = cx * 50;
            track.finish_y = cy * 50;
        }
        if (is_corner_cell(track, cx, cy)) {
            int turned = corner_turns[t - TILE_CORNER_1][heading];
            if (turned >= 0) heading = turned;
        }
        const bool straight = t == TILE_H_STRAIGHT || t == TILE_V_STRAIGHT;
        const bool lays_waypoint = t >= TILE_H_STRAIGHT && t <= TILE_FINISH;
        const bool lays_checkpoint = straight && spacing > 9;
        if (watched) level_watch->walk({cx, cy, heading, lays_waypoint, lays_checkpoint, false});
        // Past capacity the lists just stop growing; the walk goes on the same.
        if (lays_waypoint && track.waypoint_count < MAX_WAYPOINTS) {
            track.waypoints[track.waypoint_count].x = cx * 50 + 50;
            track.waypoints[track.waypoint_count].y = cy * 50 + 50;
            track.waypoint_count++;
        }
        if (straight) {
            if (lays_checkpoint) {
                if (track.checkpoint_count < MAX_CHECKPOINTS) {
                    checkpoint& k = track.checkpoints[track.checkpoint_count];
                    k.x = cx * 50;
                    k.y = cy * 50;
                    track.checkpoint_count++;
                }
                spacing = 0;
            }
            spacing++;
            straights++;
        }
        switch (heading) {
            case 0: cx++; break;
            case 1: cy++; break;
            case 2: cx--; break;
            default: cy--; break;
        }
        if (cx > size - 1) {
            cx = 0;
            cy++;
        }
        if (cx < 0) cx = 0;
        if (cy < 0) cy = 0;
        if (cy > size - 1) cy = size - 1;
        steps++;
        if (steps > size * size) break;
    }
    if (watched) level_watch->walk({cx, cy, heading, false, false, true});
}

static bool is_slowing(int t) { return t >= 1 && t <= 5; }

// Each stretch of slowing cells touching side by side or corner to corner
// takes the variant of its first cell, columns outermost as the grid is
// drawn. Draws nothing from the random numbers: the set-up stays as it was.
void mark_slowing_stretches(Track& track) {
    const int size = track.size;
    for (int x = 0; x < MAX_TRACK; x++) std::memset(track.stretch_piece[x], 0, MAX_TRACK);
    std::vector<int> todo;
    for (int x = 0; x < size; x++)
        for (int y = 0; y < size; y++) {
            if (!is_slowing(track.tiles[x][y]) || track.stretch_piece[x][y]) continue;
            const unsigned char piece = (unsigned char)track.tiles[x][y];
            track.stretch_piece[x][y] = piece;
            todo.assign(1, x * MAX_TRACK + y);
            while (!todo.empty()) {
                const int cx = todo.back() / MAX_TRACK, cy = todo.back() % MAX_TRACK;
                todo.pop_back();
                for (int nx = cx - 1; nx <= cx + 1; nx++)
                    for (int ny = cy - 1; ny <= cy + 1; ny++) {
                        if (nx < 0 || ny < 0 || nx >= size || ny >= size) continue;
                        if (!is_slowing(track.tiles[nx][ny]) || track.stretch_piece[nx][ny]) continue;
                        track.stretch_piece[nx][ny] = piece;
                        todo.push_back(nx * MAX_TRACK + ny);
                    }
            }
        }
}

static bool written_lane(const Track& track, int x, int y) {
    return x >= 0 && y >= 0 && x < track.size && y < track.size && (track.wide_road[x][y] & WIDE_WRITTEN);
}

static void anchor_wide_piece(Track& track, int x, int y, int piece) {
    track.wide_road[x][y] = (unsigned char)((track.wide_road[x][y] & ~WIDE_ANCHOR) | (piece + 1));
}

// Offsets from a corner block's top-left cell, by corner '1' to '4'.
struct cell_offset {
    int dx, dy;
};
// A lane round a corner's outside: the five cells round the block, and
// where the wide corner piece then starts.
struct outer_lane {
    cell_offset cells[5];
    cell_offset anchor;
};
static const outer_lane outer_lanes[4] = {
    {{{-1, -1}, {-1, 0}, {-1, 1}, {0, -1}, {1, -1}}, {-1, -1}},
    {{{2, -1}, {2, 0}, {2, 1}, {0, -1}, {1, -1}}, {0, -1}},
    {{{2, 0}, {2, 1}, {2, 2}, {0, 2}, {1, 2}}, {0, 0}},
    {{{-1, 0}, {-1, 1}, {-1, 2}, {0, 2}, {1, 2}}, {-1, 0}},
};
// Lanes on the inside of both roads: the wide corner takes in the cell
// between them and the first row (column) of each road, which must be a
// straight ('T' and '='); the lanes go on beyond.
struct inner_lane {
    cell_offset between, along[2], first_down, first_across;
    cell_offset anchor;
};
static const inner_lane inner_lanes[4] = {
    {{2, 2}, {{2, 3}, {3, 2}}, {0, 2}, {2, 0}, {0, 0}},
    {{-1, 2}, {{-1, 3}, {-2, 2}}, {0, 2}, {-1, 0}, {-1, 0}},
    {{-1, -1}, {{-1, -2}, {-2, -1}}, {0, -1}, {-1, 0}, {-1, -1}},
    {{2, -1}, {{2, -2}, {3, -1}}, {0, -1}, {2, 0}, {0, -1}},
};

// The straights a '+' at (x, y) could widen, as bits by side: 1 above the
// road, 2 below it, 4 left of it, 8 right of it.
static int lane_sides(const Track& track, int x, int y) {
    int sides = 0;
    if (tile_at(track, x, y + 1) == TILE_H_STRAIGHT) sides |= 1;
    if (tile_at(track, x, y - 1) == TILE_BLANK && tile_at(track, x, y - 2) == TILE_H_STRAIGHT) sides |= 2;
    if (tile_at(track, x + 1, y) == TILE_V_STRAIGHT) sides |= 4;
    if (tile_at(track, x - 1, y) == TILE_BLANK && tile_at(track, x - 2, y) == TILE_V_STRAIGHT) sides |= 8;
    return sides;
}

// The full game's wide roads: a corner block with all five cells of a lane
// round its outside, or with lanes inside both its roads, turns three cells
// wide; a '+' beside a straight's outer edge widens it, and the last cell
// of a run narrows back to the road. A '+' that widens nothing (or a run of
// one cell) stays grass.
static void mark_wide_roads(Track& track) {
    const int size = track.size;
    for (int x = 0; x < size; x++)
        for (int y = 0; y < size; y++) {
            if (!is_corner_cell(track, x, y)) continue;
            const int code = track.tiles[x][y] - TILE_CORNER_1;
            const outer_lane& out = outer_lanes[code];
            bool all = true;
            for (const cell_offset& c : out.cells) all = all && written_lane(track, x + c.dx, y + c.dy);
            if (all) {
                for (const cell_offset& c : out.cells) track.wide_road[x + c.dx][y + c.dy] |= WIDE_LANE;
                anchor_wide_piece(track, x + out.anchor.dx, y + out.anchor.dy, WIDE_CORNER_1 + code);
                continue;
            }
            const inner_lane& in = inner_lanes[code];
            auto at = [&](const cell_offset& c) { return tile_at(track, x + c.dx, y + c.dy); };
            if (written_lane(track, x + in.between.dx, y + in.between.dy) &&
                written_lane(track, x + in.along[0].dx, y + in.along[0].dy) &&
                written_lane(track, x + in.along[1].dx, y + in.along[1].dy) &&
                at(in.first_down) == TILE_V_STRAIGHT && at(in.first_across) == TILE_H_STRAIGHT) {
                track.wide_road[x + in.between.dx][y + in.between.dy] |= WIDE_LANE;
                anchor_wide_piece(track, x + in.anchor.dx, y + in.anchor.dy, WIDE_CORNER_1 + code);
            }
        }
    // Round a wide corner, or on along the same side of a straight.
    auto goes_on = [&track](int x, int y, int side) {
        if (!written_lane(track, x, y)) return false;
        return (track.wide_road[x][y] & WIDE_LANE) || (lane_sides(track, x, y) & side);
    };
    // Every straight's lane is settled first, from the corners' marks
    // alone, then marked: no lane depends on the order the grid is read in.
    struct straight_lane {
        int x, y, anchor_x, anchor_y, piece;
    };
    std::vector<straight_lane> lanes;
    for (int x = 0; x < size; x++)
        for (int y = 0; y < size; y++) {
            if (!written_lane(track, x, y) || (track.wide_road[x][y] & WIDE_LANE)) continue;
            // A '+' beside two straights widens the one its run goes on along.
            for (int side = 1; side <= 8; side <<= 1) {
                if (!(lane_sides(track, x, y) & side)) continue;
                const bool across = side <= 2;   // the road runs left to right
                const bool before = across ? goes_on(x - 1, y, side) : goes_on(x, y - 1, side);
                const bool after = across ? goes_on(x + 1, y, side) : goes_on(x, y + 1, side);
                if (!before && !after) continue;
                const int far_side = side == 2 || side == 8;
                int piece = across ? WIDE_H_STRAIGHT : WIDE_V_STRAIGHT;
                if (!before || !after)
                    piece = (across ? WIDE_H_NARROWS : WIDE_V_NARROWS) + 2 * far_side + (after ? 0 : 1);
                lanes.push_back({x, y, side == 8 ? x - 2 : x, side == 2 ? y - 2 : y, piece});
                break;
            }
        }
    for (const straight_lane& l : lanes) {
        track.wide_road[l.x][l.y] |= WIDE_LANE;
        anchor_wide_piece(track, l.anchor_x, l.anchor_y, l.piece);
    }
}

// Reads the opened level `f` (null: none) named `path` in messages.
static void load_level_stream(Track& track, FILE* f, const char* path, Random& random) {
    std::string as_written;
    int size = read_size_field(f, as_written);
    bool read_cells = f != nullptr;
    // Column and row `size` must exist in the array as the zeroed border.
    if (size < 0 || size > MAX_TRACK - 1) {
        std::fprintf(stderr,
                     "chainball: level file %s: size field \"%s\" reads as %d, outside 0 to %d; "
                     "loaded as an empty level\n",
                     printable(path, 200).c_str(), printable(as_written).c_str(), size,
                     MAX_TRACK - 1);
        size = 0;
        read_cells = false;
    }
    track.size = size;
    track.racing_lines.clear();

    for (int x = 0; x <= size; x++)
        for (int y = 0; y <= size; y++) track.tiles[x][y] = TILE_GROUND;

    track.straight_count = 0;
    std::memset(track.wide_road, 0, sizeof track.wide_road);
    if (read_cells) read_grid(track, random, f, size);
    if (f) std::fclose(f);

    for (int i = 0; i < MAX_WAYPOINTS; i++) track.waypoints[i] = waypoint{5000, 5000};
    for (int i = 0; i < MAX_CHECKPOINTS; i++) track.checkpoints[i] = checkpoint{0, 0};

    walk_route(track);
    mark_slowing_stretches(track);
    mark_wide_roads(track);
}

void load_level_file(Track& track, const char* path, Random& random) {
    std::string why;
    FILE* f = open_regular_file(path, MAX_LEVEL_FILE_BYTES, why);
    if (!f)
        std::fprintf(stderr, "chainball: level file %s: %s, loaded as an empty level\n",
                     printable(path, 200).c_str(), why.c_str());
    load_level_stream(track, f, path, random);
}

void load_level_text(Track& track, const char* name, const std::string& text, Random& random) {
    FILE* f = text.empty() ? nullptr : fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    load_level_stream(track, f, name, random);
}
