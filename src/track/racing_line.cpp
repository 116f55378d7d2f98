// SPDX-License-Identifier: GPL-3.0-or-later
// The racing line: per-cell costs from the tiles, then one cost-to-go search
// per leg, from the finish backwards, each seeded with the cost of the rest
// of the lap where its target is reached.
#include "track/racing_line.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <queue>

#include "base/arith.h"
#include "base/trig.h"
#include "track/track.h"

const int line_move_dx[LINE_MOVES] = {1, -1, 0, 0, 1, 1, -1, -1, 2, 2, -2, -2, 1, 1, -1, -1};
const int line_move_dy[LINE_MOVES] = {0, 0, 1, -1, 1, -1, 1, -1, 1, -1, 1, -1, 2, -2, 2, -2};
// Forward is (-sin h, -cos h): heading 0 drives up, 90 left, 180 down, 270 right.
const int line_move_heading[LINE_MOVES] = {270, 90, 180, 0, 225, 315, 135, 45,
                                           243, 297, 117, 63, 207, 333, 153, 27};
// Lengths in pixels, rounded: 10, 10 * sqrt 2, 10 * sqrt 5.
static const int move_length[LINE_MOVES] = {10, 10, 10, 10, 14, 14, 14, 14,
                                            22, 22, 22, 22, 22, 22, 22, 22};

constexpr int MUD_FACTOR = LINE_MUD_COST;
constexpr int NEAR_MUD_FACTOR = 36;
// What turning right round at a checkpoint costs, in the line's units.
constexpr int LINE_TURN_BACK_COST = 2000;

static bool slowing_tile(const Track& t, int tx, int ty) {
    if (tx < 0 || ty < 0 || tx >= t.size || ty >= t.size) return false;
    const int code = t.tiles[tx][ty];
    return code >= 1 && code <= 5;
}

// Cost per pixel of the cell centred on (cx, cy). `margin` is how close to a
// slowing cell the line starts to pay for it.
static uint8_t cell_factor(const Track& t, int cx, int cy, int tight, int margin, bool ground_slows) {
    const int tx = cx / 50, ty = cy / 50;
    if (slowing_tile(t, tx, ty)) return MUD_FACTOR;
    long long best = -1;   // squared distance to the nearest slowing tile
    for (int x = tx - 1; x <= tx + 1; x++)
        for (int y = ty - 1; y <= ty + 1; y++) {
            if (!slowing_tile(t, x, y)) continue;
            const int gx = cx < x * 50 ? x * 50 - cx : cx > x * 50 + 50 ? cx - x * 50 - 50 : 0;
            const int gy = cy < y * 50 ? y * 50 - cy : cy > y * 50 + 50 ? cy - y * 50 - 50 : 0;
            const long long d2 = (long long)gx * gx + (long long)gy * gy;
            if (best < 0 || d2 < best) best = d2;
        }
    int f = LINE_OPEN_COST;
    if (best >= 0 && best < (long long)margin * margin) {
        // Square roots of whole numbers are exact to the last bit everywhere.
        const int d = (int)std::sqrt((double)best);
        // Closer than `tight`, the chain cannot follow the head without a
        // ball slipping in; up to `margin`, bends cost it a little.
        f = d < tight ? NEAR_MUD_FACTOR : LINE_OPEN_COST + (margin - d) * 8 / (margin - tight);
    }
    // Only the head is slowed off the road: what the chain pays near the
    // mud is not added to it.
    if (ground_slows && f < LINE_GROUND_COST && tx < t.size && ty < t.size && plain_ground(t, tx, ty))
        f = LINE_GROUND_COST;
    // The grid's edge holds the head back; keep off it.
    const int edge = 50 * t.size;
    if (cx < 10 || cy < 10 || cx > edge - 10 || cy > edge - 10) f += 4;
    return (uint8_t)f;
}

int line_cell_at(const RacingLine& line, float x, float y) {
    if (line.cols <= 0 || !(x >= 0) || !(y >= 0)) return -1;
    const int i = (int)(x / LINE_CELL), j = (int)(y / LINE_CELL);
    if (i >= line.cols || j >= line.cols) return -1;
    return i * line.cols + j;
}

// Every cell's cost per pixel. A longer chain swings wider through a
// corner: its tail cuts inside.
static void fill_factors(const Track& t, RacingLine& line, int cols, int cells) {
    const int tight = line.chain_length >= 6 ? 26 : 4 * (line.chain_length - 1);
    const int margin = tight + 20;
    line.factor.resize((size_t)cells);
    for (int i = 0; i < cols; i++)
        for (int j = 0; j < cols; j++)
            line.factor[(size_t)i * cols + j] =
                cell_factor(t, i * LINE_CELL + LINE_CELL / 2, j * LINE_CELL + LINE_CELL / 2, tight, margin,
                            line.ground_slows);
}

typedef std::pair<int32_t, int32_t> queue_item;
typedef std::priority_queue<queue_item, std::vector<queue_item>, std::greater<queue_item>> item_queue;

// One cell `top` settled by a leg's search: every cell moving into it gets
// its cost through it where that is lower than what it had.
static void relax_moves(const RacingLine& line, int cols, int entry, int out_heading, const queue_item& top,
                        const uint8_t* seed, int32_t* cost, int8_t* next, item_queue& queue) {
    const int u = top.second;
    const int ux = u / cols, uy = u % cols;
    for (int m = 0; m < LINE_MOVES; m++) {
        // v moves to u by move m: v = u - move.
        const int vx = ux - line_move_dx[m], vy = uy - line_move_dy[m];
        if (vx < 0 || vy < 0 || vx >= cols || vy >= cols) continue;
        const int v = vx * cols + vy;
        if (seed[v]) continue;
        int f = line.factor[(size_t)u] > line.factor[(size_t)v] ? line.factor[(size_t)u]
                                                                : line.factor[(size_t)v];
        // Diagonal and knight's moves also pay for the cells they pass.
        const int sx = line_move_dx[m] > 0 ? 1 : line_move_dx[m] < 0 ? -1 : 0;
        const int sy = line_move_dy[m] > 0 ? 1 : line_move_dy[m] < 0 ? -1 : 0;
        if (sx && sy) {
            const int a = (vx + sx) * cols + vy, b = vx * cols + vy + sy;
            if (line.factor[(size_t)a] > f) f = line.factor[(size_t)a];
            if (line.factor[(size_t)b] > f) f = line.factor[(size_t)b];
            const int w = (vx + sx) * cols + vy + sy;
            if (w != u && line.factor[(size_t)w] > f) f = line.factor[(size_t)w];
        }
        int32_t d = top.first + move_length[m] * f;
        if (line.factor[(size_t)u] == MUD_FACTOR && line.factor[(size_t)v] != MUD_FACTOR) d += entry;
        // A head turns 5 degrees a step: coming into a checkpoint
        // against the way on costs the turn back.
        if (seed[u] && out_heading >= 0) {
            int turn = line_move_heading[m] - out_heading;
            if (turn < 0) turn = -turn;
            if (turn > 180) turn = 360 - turn;
            d += turn * LINE_TURN_BACK_COST / 180;
        }
        if (cost[v] < 0 || d < cost[v]) {
            cost[v] = d;
            next[v] = (int8_t)m;
            queue.push({d, v});
        }
    }
}

// The cost-to-go search of leg `leg`, from its target backwards; the legs
// after it are searched already.
static void search_leg(RacingLine& line, int leg, int cols, int entry) {
    const int cells = cols * cols;
    uint8_t* seed = &line.seed[(size_t)leg * cells];
    int32_t* cost = &line.cost[(size_t)leg * cells];
    int8_t* next = &line.next[(size_t)leg * cells];
    // The rest of the lap after this leg: the next leg's cost from the
    // checkpoint's point, or 0 at the finish. The same for the whole
    // target, so that coming near it is worth no more than reaching it.
    int32_t rest = 0;
    int out_heading = -1;   // the way the next leg leaves the checkpoint
    if (leg + 1 < line.legs) {
        const int32_t* after = &line.cost[(size_t)(leg + 1) * cells];
        // A checkpoint on the last column or row has its point on the edge.
        const float px = (float)std::min(line.cp_x[leg], cols * LINE_CELL - 1);
        const float py = (float)std::min(line.cp_y[leg], cols * LINE_CELL - 1);
        const int at = line_cell_at(line, px, py);
        rest = at >= 0 ? after[at] : -1;
        const int m = at >= 0 ? line.next[(size_t)(leg + 1) * cells + at] : -1;
        if (m >= 0) out_heading = line_move_heading[m];
    }
    item_queue queue;
    for (int i = 0; i < cols; i++)
        for (int j = 0; j < cols; j++) {
            const int c = i * cols + j;
            const float x = (float)(i * LINE_CELL + LINE_CELL / 2);
            const float y = (float)(j * LINE_CELL + LINE_CELL / 2);
            if (!line_target_reached(line, leg, x, y)) continue;
            if (rest < 0) continue;
            seed[c] = 1;
            cost[c] = rest;
            queue.push({rest, c});
        }
    while (!queue.empty()) {
        const queue_item top = queue.top();
        queue.pop();
        if (top.first != cost[top.second]) continue;
        relax_moves(line, cols, entry, out_heading, top, seed, cost, next, queue);
    }
}

RacingLine build_racing_line(const Track& t, int chain_length, bool ground_slows) {
    RacingLine line;
    line.chain_length = chain_length < 1 ? 1 : chain_length;
    line.ground_slows = ground_slows;
    if (t.size <= 0 || t.size >= MAX_TRACK || t.finish_x < 0 || t.finish_y < 0 ||
        t.finish_x >= 50 * t.size || t.finish_y >= 50 * t.size)
        return line;
    const int cols = t.size * 50 / LINE_CELL;   // whole cells: 50 is a multiple of LINE_CELL
    const int cells = cols * cols;
    const int checkpoint_legs = (t.checkpoint_count < 0 ? 0
                                 : t.checkpoint_count > MAX_CHECKPOINTS ? MAX_CHECKPOINTS
                                                                        : t.checkpoint_count) + 1;
    if ((long long)cells * checkpoint_legs > LINE_MOST_ENTRIES) return line;
    line.cols = cols;
    line.finish_x = t.finish_x;
    line.finish_y = t.finish_y;
    const int checkpoints = t.checkpoint_count < 0 ? 0
                            : t.checkpoint_count > MAX_CHECKPOINTS ? MAX_CHECKPOINTS
                                                                   : t.checkpoint_count;
    for (int k = 0; k < checkpoints; k++) {
        line.cp_x.push_back(t.checkpoints[k].x + 50);
        line.cp_y.push_back(t.checkpoints[k].y + 50);
    }
    line.legs = checkpoints + 1;
    for (int h = 0; h < 360; h++) {
        line.sine.push_back(sine_of_degrees(h));
        line.cosine.push_back(cosine_of_degrees(h));
    }

    fill_factors(t, line, cols, cells);
    // Entering a slowing cell also costs the time the rest of the chain
    // spends crawling after the head.
    const int entry = 27 * (line.chain_length - 1) * (MUD_FACTOR - LINE_OPEN_COST);

    const size_t total = (size_t)line.legs * cells;
    line.seed.assign(total, 0);
    line.cost.assign(total, -1);
    line.next.assign(total, -1);

    for (int leg = line.legs - 1; leg >= 0; leg--) search_leg(line, leg, cols, entry);
    return line;
}

const RacingLine* racing_line_for(const Track& t, int chain_length, bool ground_slows) {
    for (const RacingLine& line : t.racing_lines)
        if (line.chain_length == chain_length && line.ground_slows == ground_slows)
            return line.cols > 0 ? &line : nullptr;
    return nullptr;
}

void add_racing_line(Track& t, int chain_length, bool ground_slows) {
    if (chain_length < 1) return;
    for (const RacingLine& line : t.racing_lines)
        if (line.chain_length == chain_length && line.ground_slows == ground_slows) return;
    t.racing_lines.push_back(build_racing_line(t, chain_length, ground_slows));
}
