// SPDX-License-Identifier: GPL-3.0-or-later
// The track check: a level file read through the game's own loader with a
// watcher, and the findings on its size field, grid, road pieces and route.
#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/files.h"
#include "track/track.h"
#include "track/track_local.h"
#include "trackkit/trackkit.h"
#include "trackkit/trackkit_local.h"
#include "view/tiles.h"

// What the watcher saw of one load; refilled by every check.
namespace {
struct place {
    int row = -1, col = -1;   // counted from 0; -1: never seen
};
struct load_scan {
    std::string size_written;
    int size = 0;
    long long grid_cells = 0;          // characters that landed inside the grid
    place unknown[256];                // first place of each character without a meaning
    long long beyond = 0;              // characters beyond the grid
    place first_beyond;
    int beyond_straights = 0;
    place dropped;                     // first character past the array's last row
    int finishes = 0;
    place second_finish;
    std::vector<route_step> walk;
};
load_scan scan;   // during one check
}   // namespace

static bool has_meaning(char c) { return std::strchr(".x=T1234M#+", c) != nullptr && c != 0; }

static void watch_size(const char* as_written, int size) {
    scan.size_written = as_written;
    scan.size = size;
}

static void watch_cell(char c, int col, int row) {
    if (row >= MAX_TRACK) {
        if (scan.dropped.row < 0) scan.dropped = {row, col};
        return;
    }
    place& u = scan.unknown[(unsigned char)c];
    if (!has_meaning(c) && u.row < 0) u = {row, col};
    if (row >= scan.size) {
        if (scan.beyond++ == 0) scan.first_beyond = {row, col};
        if (c == '=' || c == 'T') scan.beyond_straights++;
        return;
    }
    scan.grid_cells++;
    if (c == 'M' && ++scan.finishes == 2) scan.second_finish = {row, col};
}

static void watch_walk(const route_step& step) { scan.walk.push_back(step); }

static const level_load_watch check_watch = {watch_size, watch_cell, watch_walk};

// The findings of one report, added in order.
namespace {
struct reporter {
    track_report& report;
    void add(bool error, int row, int col, const std::string& message) {
        report.findings.push_back({row, col, error, message});
    }
    // A grid cell, counted from 0.
    void cell(bool error, int x, int y, const std::string& message) { add(error, y + 1, x + 1, message); }
};
}   // namespace

std::string cell_name(int x, int y) { return std::to_string(y + 1) + ":" + std::to_string(x + 1); }

char tile_char(int code) {
    if (code >= 1 && code <= 5) return 'x';
    switch (code) {
        case TILE_GROUND: return '.';
        case TILE_H_STRAIGHT: return '=';
        case TILE_V_STRAIGHT: return 'T';
        case TILE_FINISH: return 'M';
        case TILE_BLANK: return '#';
        default: break;
    }
    if (code >= TILE_CORNER_1 && code <= TILE_CORNER_1 + 3) return (char)('1' + code - TILE_CORNER_1);
    return '?';
}

static const char* const heading_names[4] = {"right", "down", "left", "up"};

bool road_code(int code) { return code >= TILE_H_STRAIGHT && code <= TILE_FINISH; }

static bool size_field_checked(reporter& rep) {
    const std::string& w = scan.size_written;
    const std::string quoted = "size field \"" + printable(w) + "\"";
    const bool starts_number = !w.empty() && (std::isdigit((unsigned char)w[0]) ||
                                              ((w[0] == '-' || w[0] == '+') && w.size() > 1 &&
                                               std::isdigit((unsigned char)w[1])));
    if (!starts_number) {
        rep.add(true, 0, 1, quoted + " is not a number: it reads as 0, an empty level");
        return false;
    }
    if (scan.size < 1 || scan.size > MAX_TRACK - 1) {
        rep.add(true, 0, 1,
                quoted + " reads as " + std::to_string(scan.size) + ", outside 1 to " +
                    std::to_string(MAX_TRACK - 1) + ": the game loads an empty level");
        return false;
    }
    bool digits = w.size() == 4;
    for (char c : w) digits = digits && std::isdigit((unsigned char)c);
    if (!digits)
        rep.add(false, 0, 1,
                quoted + " is not four digits: it reads as " + std::to_string(scan.size));
    return true;
}

static void grid_findings(reporter& rep) {
    const int n = scan.size;
    const long long want = (long long)n * n;
    if (scan.grid_cells < want) {
        const long long missing = want - scan.grid_cells;
        rep.cell(true, (int)(scan.grid_cells % n), (int)(scan.grid_cells / n),
                 std::to_string(missing) + " cell" + (missing == 1 ? "" : "s") +
                     " missing from here on: the file holds " + std::to_string(scan.grid_cells) +
                     " of the " + std::to_string(n) + " x " + std::to_string(n) +
                     " the size asks for, and the game leaves the rest ground");
    }
    for (int c = 0; c < 256; c++) {
        const place& u = scan.unknown[c];
        if (u.row < 0) continue;
        rep.cell(false, u.col, u.row,
                 "character '" + printable(std::string(1, (char)c)) +
                     "' has no meaning: its cells stay ground");
    }
    if (scan.beyond > 0) {
        std::string m = std::to_string(scan.beyond) + " character" + (scan.beyond == 1 ? "" : "s") +
                        " beyond the " + std::to_string(n) + " x " + std::to_string(n) +
                        " grid from here on: the game does not show or race them";
        if (scan.beyond_straights > 0)
            m += ", but counts their " + std::to_string(scan.beyond_straights) +
                 " straights in the route walk";
        if (scan.dropped.row >= 0) m += "; those past row " + std::to_string(MAX_TRACK) + " are dropped";
        rep.cell(false, scan.first_beyond.col, scan.first_beyond.row, m);
    }
}

// At most this many findings of one kind, then one line counting the rest.
constexpr int FINDINGS_PER_KIND = 10;

namespace {
struct kind_counter {
    reporter& rep;
    const char* kind;
    int seen = 0;
    void cell(int x, int y, const std::string& message) {
        if (++seen <= FINDINGS_PER_KIND) rep.cell(false, x, y, message);
    }
    void close() {
        if (seen > FINDINGS_PER_KIND)
            rep.add(false, 0, 0,
                    std::to_string(seen - FINDINGS_PER_KIND) + " more " + kind + " not listed");
    }
};
}   // namespace

bool draws_picture(int x, int y) {
    const int t = tile_at(loaded_track, x, y);
    if (t == TILE_BLANK) return false;
    if (t >= TILE_CORNER_1 && t <= TILE_CORNER_1 + 3) return is_corner_cell(loaded_track, x, y);
    return true;
}

void road_cover(int size, std::vector<int>& cover) {
    cover.assign((size_t)size * size, 0);
    for (int x = 0; x < size; x++)
        for (int y = 0; y < size; y++) {
            const int t = tile_at(loaded_track, x, y);
            if (!road_code(t) || !draws_picture(x, y)) continue;
            int w, h;
            cell_footprint(t, w, h);
            for (int i = 0; i < w; i++)
                for (int j = 0; j < h; j++)
                    if (x + i < size && y + j < size) cover[(size_t)(x + i) * size + y + j]++;
        }
}

bool road_cell(const std::vector<int>& cover, int x, int y) {
    const int t = loaded_track.tiles[x][y];
    return road_code(t) || (t == TILE_BLANK && cover[(size_t)x * loaded_track.size + y] > 0) ||
           (loaded_track.wide_road[x][y] & WIDE_LANE);
}

// Road pieces whose pictures run past the grid, are drawn over by a later
// cell, or cover one another; blanks and corner cells no piece covers.
static void piece_findings(reporter& rep) {
    const int n = scan.size;
    kind_counter cut{rep, "road pieces cut short"}, over{rep, "overlaps"}, bare{rep, "uncovered cells"},
        lane{rep, "lanes that widen nothing"};
    for (int x = 0; x < n; x++)
        for (int y = 0; y < n; y++) {
            const int t = tile_at(loaded_track, x, y);
            if (!road_code(t) || !draws_picture(x, y)) continue;
            int w, h;
            cell_footprint(t, w, h);
            const std::string piece = std::string("road piece '") + tile_char(t) + "' at " + cell_name(x, y);
            bool past_edge = false;
            for (int i = 0; i < w; i++)
                for (int j = 0; j < h; j++) {
                    if (i == 0 && j == 0) continue;
                    const int cx = x + i, cy = y + j;
                    if (cx >= n || cy >= n) {
                        past_edge = true;
                        continue;
                    }
                    if (!draws_picture(cx, cy)) continue;
                    const int u = tile_at(loaded_track, cx, cy);
                    const std::string what = std::string("'") + tile_char(u) + "'";
                    if (road_code(u))
                        over.cell(cx, cy, "road piece " + what + " overlaps the " + piece);
                    else
                        cut.cell(cx, cy,
                                 (tile_char(u) == 'x' ? "slowing cell " : "") + what + " is drawn over the " +
                                     piece + ", cutting it short");
                }
            if (past_edge) cut.cell(x, y, piece + " is cut short: it runs past the grid's edge");
        }
    std::vector<int> cover;
    road_cover(n, cover);
    for (int x = 0; x < n; x++)
        for (int y = 0; y < n; y++) {
            const int k = cover[(size_t)x * n + y];
            if (draws_picture(x, y)) continue;
            if (k > 1) over.cell(x, y, "road pieces overlap here");
            if (k > 0) continue;
            const int t = tile_at(loaded_track, x, y);
            if (t == TILE_BLANK)
                bare.cell(x, y, "'#' is covered by no road piece: it shows black");
            else
                bare.cell(x, y, std::string("corner '") + tile_char(t) +
                                    "' is not the top-left of a 2 x 2 block of its kind: it does "
                                    "not turn the route and shows black");
        }
    for (int x = 0; x < n; x++)
        for (int y = 0; y < n; y++)
            if ((loaded_track.wide_road[x][y] & (WIDE_WRITTEN | WIDE_LANE)) == WIDE_WRITTEN)
                lane.cell(x, y,
                          "'+' widens no road: it lies beside no straight's outer edge, round no whole "
                          "corner, or alone; the full game shows it as grass");
    cut.close();
    over.close();
    bare.close();
    lane.close();
}

// The walk stands where it started, heading the way it started (up): from
// here on it repeats itself.
static bool back_at_start(const route_step& a, const route_step& start) {
    return a.x == start.x && a.y == start.y && a.heading == 3;
}

// The game's walk once more, with one straight more, from the same finish
// at `start`. It is left in scan.walk as well.
static std::vector<route_step> run_on_walk(const route_step& start) {
    std::unique_ptr<Track> run_on(new Track(loaded_track));
    run_on->finish_x = start.x * 50;
    run_on->finish_y = start.y * 50;
    run_on->straight_count++;
    scan.walk.clear();
    level_watch = &check_watch;
    walk_route(*run_on);
    level_watch = nullptr;
    return scan.walk;
}

// The load's walk went round more than once, passing the finish after
// `back` steps: the straights it counts that are not on the one lap.
static void straights_off_route(reporter& rep, const std::vector<route_step>& walk, size_t back) {
    const int n = scan.size;
    const route_step start = walk.front();
    std::vector<bool> on_route((size_t)n * n, false);
    for (size_t k = 0; k < back; k++)
        if (walk[k].x < n && walk[k].y < n) on_route[(size_t)walk[k].x * n + walk[k].y] = true;
    int off = 0, fx = start.x, fy = start.y;
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++) {
            const int t = tile_at(loaded_track, x, y);
            if ((t == TILE_H_STRAIGHT || t == TILE_V_STRAIGHT) && !on_route[(size_t)x * n + y] && off++ == 0)
                fx = x, fy = y;
        }
    rep.cell(false, fx, fy,
             off > 0 ? std::to_string(off) + " straight" + (off == 1 ? " is" : "s are") +
                           " not on the route (the first here): the walk counts them too, so it goes "
                           "round again and the computer drivers' waypoints run past one lap"
                     : "the route walk passes the finish again before it has counted every straight");
}

// The route walk of the load, and the same walk once more run on to one
// straight past its end: a closed route passes the finish on the way.
static void route_findings(reporter& rep) {
    const std::vector<route_step> walk = scan.walk;
    const route_step start = walk.front();
    if (loaded_track.straight_count == 0) {
        rep.cell(true, start.x, start.y,
                 "no straight road piece: the route walk from the finish has nowhere to go");
        return;
    }

    // Run on: the game's walk with one straight more, from the same finish.
    const std::vector<route_step> longer = run_on_walk(start);

    const size_t walked = walk.size() - 1;   // steps before the stop
    const size_t last = longer.size() - 1;   // the run-on's stop
    // Where the walk first passes the finish again: within the load's own
    // walk it went round more than once; after it, the route is closed.
    size_t back = 0;
    for (size_t i = 1; i < last && !back; i++)
        if (back_at_start(longer[i], start)) back = i;

    if (back > 0 && back < walked) straights_off_route(rep, walk, back);

    // Off the road: where a closed route crosses other cells, a warning;
    // where an open one first leaves, the error.
    const size_t end = back > 0 ? back : last;
    kind_counter crossing{rep, "route crossings"};
    for (size_t i = 0; i < end; i++) {
        const route_step& s = longer[i];
        const route_step& next = longer[i + 1];
        const bool off_edge = next.x != s.x + (s.heading == 0) - (s.heading == 2) ||
                              next.y != s.y + (s.heading == 1) - (s.heading == 3);
        const bool onto_other = !road_code(tile_at(loaded_track, next.x, next.y)) && i + 1 < end;
        if (back > 0) {
            if (onto_other)
                crossing.cell(next.x, next.y,
                              std::string("the route crosses '") + tile_char(tile_at(loaded_track, next.x, next.y)) +
                                  "' here, off the road: no waypoint is laid on it");
            continue;
        }
        if (off_edge) {
            rep.cell(true, s.x, s.y,
                     std::string("the route walk from the finish runs off the grid's edge here, heading ") +
                         heading_names[s.heading & 3] + ", and does not come back to the finish");
            return;
        }
        if (onto_other || (i + 1 == end && !road_code(tile_at(loaded_track, next.x, next.y)))) {
            rep.cell(true, next.x, next.y,
                     std::string("the route walk from the finish leaves the road here, heading ") +
                         heading_names[s.heading & 3] + " onto '" + tile_char(tile_at(loaded_track, next.x, next.y)) +
                         "', and does not come back to the finish");
            return;
        }
    }
    crossing.close();
    if (back == 0) {
        const route_step& stop = walk.back();
        rep.cell(true, stop.x, stop.y,
                 "the route walk does not come back to the finish: after its last straight it runs on "
                 "here and meets another straight first");
    }
}

static void route_capacity_findings(reporter& rep) {
    int waypoints = 0, checkpoints = 0;
    for (const route_step& s : scan.walk) {
        if (s.stop) continue;
        if (s.waypoint && ++waypoints == MAX_WAYPOINTS + 1)
            rep.cell(false, s.x, s.y,
                     "the route is longer than the computer drivers' " + std::to_string(MAX_WAYPOINTS) +
                         " waypoints: the race cuts it here");
        if (s.checkpoint && ++checkpoints == MAX_CHECKPOINTS + 1)
            rep.cell(false, s.x, s.y,
                     "the route has more than " + std::to_string(MAX_CHECKPOINTS) +
                         " checkpoints: the race cuts them here");
    }
    if (checkpoints == 0) {
        const route_step& start = scan.walk.front();
        rep.cell(false, start.x, start.y,
                 "no checkpoint (the route walk lays one on every 11th straight): laps count on the finish alone");
    }
}

int track_report::count(bool errors) const {
    int k = 0;
    for (const finding& f : findings) k += f.error == errors;
    return k;
}

void check_track(const std::string& path, track_report& report) {
    report.path = path;
    report.findings.clear();
    report.figures = track_figures();
    reporter rep{report};

    std::string why;
    FILE* f = open_regular_file(path.c_str(), MAX_LEVEL_FILE_BYTES, why);
    if (!f) {
        rep.add(true, 0, 0, "cannot read the file (" + why + "): the game loads an empty level");
        return;
    }
    std::fclose(f);

    scan = load_scan();
    // As a fresh game: no finish left over from another file.
    clear_track(loaded_track);
    level_watch = &check_watch;
    Random random = make_random(1);
    load_level_file(loaded_track, path.c_str(), random);
    level_watch = nullptr;

    if (!size_field_checked(rep)) return;
    grid_findings(rep);
    if (scan.finishes == 0) {
        rep.add(true, 0, 0, "no finish cell 'M' in the grid: the game keeps the previous track's finish");
        return;
    }
    if (scan.finishes > 1)
        rep.cell(false, scan.second_finish.col, scan.second_finish.row,
                 std::to_string(scan.finishes) + " finish cells 'M' (the second here): the race starts at " +
                     cell_name(loaded_track.finish_x / 50, loaded_track.finish_y / 50));
    piece_findings(rep);
    route_capacity_findings(rep);
    route_findings(rep);
    if (report.count(true) > 0) return;
    measure_track(path, report.figures);
    design_findings(report);
}
