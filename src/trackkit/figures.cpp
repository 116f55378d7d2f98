// SPDX-License-Identifier: GPL-3.0-or-later
// The design figures of a track: its route, the computer's lap raced
// headless, the shortcut ratio, the start grid, the view and the name; and
// the limits check holds them to.
#include <SDL/SDL_ttf.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <queue>
#include <string>
#include <vector>

#include "core/files.h"
#include "core/state.h"
#include "io/assets.h"
#include "io/media.h"
#include "race/race.h"   // the Race value; set up and stepped through race_calls.cpp
#include "track/track.h"
#include "trackkit/driver_laps.h"
#include "trackkit/trackkit.h"
#include "trackkit/trackkit_local.h"
#include "view/view.h"

// The one table of limits; docs/tracks.md shows it as print_limits writes it.
// Under Slows grass costs every chain, so a cut over it may gain less; the
// computer lap's limits are the classic game's, which races under Free.
const design_limit design_limits[LIMIT_COUNT] = {
    {"shortcut ratio", 0.85, 0.85, "below the limit: leaving the road gains time"},
    {"cut gain", 5, 2,
     "above the limit, in %, with a 7-ball chain: the corner-cutting script driver's best lap beats the best "
     "lap kept on the road by more than this (a cut that pays for 1 ball and costs 7 is a risk by design and "
     "passes)"},
    {"mud cut", 5, 5,
     "above the limit, in %, with a 7-ball chain: the driver at every waypoint gains more than this by taking "
     "the mud cuts, so the mud does not cost a long chain"},
    {"computer lap", 12, LIMIT_NOT_HELD, "under the limit, in seconds"},
    {"computer lap", 45, LIMIT_NOT_HELD, "over the limit, in seconds, or no lap at all in 600 s"},
    {"start grid", 10, 10,
     "room for fewer than 10 balls of each racer below the finish (on the grid, off slowing cells), "
     "or any ball on a checkpoint marker"},
    {"view", 10, 10, "fewer than 10 x 10 cells: the view shows black bands"},
    // The name is written at x 230 in the "Level:" button drawn from x 180
    // to 320 (menu/settings.cpp, view/overlays.cpp).
    {"name", 90, 90, "wider than 90 pixels in the small font: it runs out of the \"Level:\" button"},
};

const char* const kit_rule_names[KIT_RULES] = {"free", "slows"};

double shortest_lap_way(const std::vector<bool>& open, int size) {
    if (loaded_track.checkpoint_count <= 0 || (size_t)size * size != open.size()) return -1;
    std::vector<int> stops;   // cells, x * size + y
    auto stop_at = [&](int px, int py) {
        const int x = px / 50, y = py / 50;
        if (px < 0 || py < 0 || x >= size || y >= size) return false;
        stops.push_back(x * size + y);
        return true;
    };
    if (!stop_at(loaded_track.finish_x, loaded_track.finish_y)) return -1;
    const int n = loaded_track.checkpoint_count < MAX_CHECKPOINTS ? loaded_track.checkpoint_count : MAX_CHECKPOINTS;
    for (int k = 0; k < n; k++)
        if (!stop_at(loaded_track.checkpoints[k].x, loaded_track.checkpoints[k].y)) return -1;
    stops.push_back(stops.front());

    const double diagonal = std::sqrt(2.0);
    std::vector<double> dist;
    double total = 0;
    for (size_t leg = 0; leg + 1 < stops.size(); leg++) {
        const int from = stops[leg], to = stops[leg + 1];
        if (!open[from] || !open[to]) return -1;
        dist.assign((size_t)size * size, -1);
        typedef std::pair<double, int> item;
        std::priority_queue<item, std::vector<item>, std::greater<item>> queue;
        dist[from] = 0;
        queue.push({0, from});
        while (!queue.empty()) {
            const item top = queue.top();
            queue.pop();
            const int c = top.second;
            if (top.first > dist[c]) continue;
            if (c == to) break;
            const int x = c / size, y = c % size;
            for (int dx = -1; dx <= 1; dx++)
                for (int dy = -1; dy <= 1; dy++) {
                    if (!dx && !dy) continue;
                    const int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= size || ny >= size) continue;
                    const int next = nx * size + ny;
                    if (!open[next]) continue;
                    // A diagonal only between two open side cells.
                    if (dx && dy && (!open[nx * size + y] || !open[x * size + ny])) continue;
                    const double d = top.first + (dx && dy ? diagonal : 1.0);
                    if (dist[next] < 0 || d < dist[next]) {
                        dist[next] = d;
                        queue.push({d, next});
                    }
                }
        }
        if (dist[to] < 0) return -1;
        total += dist[to];
    }
    return total;
}

static void shortcut_figures(track_figures& fig) {
    const int n = loaded_track.size;
    std::vector<int> cover;
    road_cover(n, cover);
    std::vector<bool> open((size_t)n * n), road((size_t)n * n);
    for (int x = 0; x < n; x++)
        for (int y = 0; y < n; y++) {
            const int t = loaded_track.tiles[x][y];
            const size_t i = (size_t)x * n + y;
            open[i] = !(t >= 1 && t <= 5);
            road[i] = road_cell(cover, x, y);
        }
    fig.open_way = shortest_lap_way(open, n);
    fig.road_way = shortest_lap_way(road, n);
    fig.shortcut_ratio = fig.open_way > 0 && fig.road_way > 0 ? fig.open_way / fig.road_way : -1;
}

static void route_figures(track_figures& fig) {
    const int n = loaded_track.waypoint_count < MAX_WAYPOINTS ? loaded_track.waypoint_count : MAX_WAYPOINTS;
    fig.waypoints = loaded_track.waypoint_count;
    fig.checkpoints = loaded_track.checkpoint_count;
    double length = 0, area = 0;
    int left = 1 << 30, right = -(1 << 30);
    for (int i = 0; i < n; i++) {
        const waypoint& a = loaded_track.waypoints[i];
        const waypoint& b = loaded_track.waypoints[(i + 1) % n];
        length += std::hypot((double)(b.x - a.x), (double)(b.y - a.y));
        // Rows grow downwards, so a positive sum turns clockwise on screen.
        area += (double)a.x * b.y - (double)b.x * a.y;
        if (a.x < left) left = a.x;
        if (a.x > right) right = a.x;
    }
    fig.route_px = length;
    fig.clockwise = area > 0;
    const int finish = loaded_track.finish_x + 50;   // its waypoint
    fig.finish_side = finish <= left ? "left" : finish >= right ? "right" : "inside";
    for (int x = 0; x < loaded_track.size; x++)
        for (int y = 0; y < loaded_track.size; y++) fig.wide_cells += (loaded_track.wide_road[x][y] & WIDE_LANE) != 0;
}

// Player 3 with a 10-ball chain, player 1 parked on the grid with one ball,
// player 2 out: steps until player 3's first lap.
// Without a checkpoint every step in the finish strip counts a lap, so
// there is no lap time to measure.
static double computer_lap(const std::string& path, int off_road) {
    Race race = kit_race(path, 1, 0, MAX_BALLS, 1, off_road);
    if (loaded_track.checkpoint_count == 0) return LAP_NOT_MEASURABLE;
    for (int step = 1; step <= LAP_GIVE_UP_SECONDS * 50; step++) {
        kit_race_step(race, 0);
        if (race.racers[2].completed_laps >= 1) return step / 50.0;
    }
    return -1;
}

// The corner-cutting driver against the road. The road's lap is the best of
// the script drivers that keep their heads on the road, aiming at every
// waypoint or at every second or third: a driver may take a rounder line
// through a corner inside the road's two cells, and only what the cutting
// driver gains off the road counts as a cut.
static void cut_figures(const std::string& path, int off_road, rule_figures& fig) {
    fig.cut_skips = -1;
    for (int c = 0; c < CUT_CHAINS; c++) {
        const script_run cut = script_drive(path, cut_chains[c], CUT_STRIDE, off_road);
        double road = fig.round_lap[c] = script_drive(path, cut_chains[c], 1, off_road).best;
        for (int stride = 2; stride <= CUT_STRIDE; stride++) {
            const script_run run =
                stride == CUT_STRIDE ? cut : script_drive(path, cut_chains[c], stride, off_road);
            if (!run.left_road && run.best > 0 && (road < 0 || run.best < road)) road = run.best;
        }
        for (int look : HOLD_LOOKS) {
            const script_run held = script_drive(path, cut_chains[c], CUT_STRIDE, off_road, look);
            if (!held.left_road && held.best > 0 && (road < 0 || held.best < road)) road = held.best;
        }
        fig.road_lap[c] = road;
        fig.cut_lap[c] = cut.best;
        fig.cut_grass_steps[c] = cut.grass_steps;
        fig.cut_slowing_steps[c] = cut.slowing_steps;
        fig.cut_gain[c] = road > 0 && cut.best > 0 ? 100.0 * (road - cut.best) / road : CUT_NOT_MEASURED;
        if (cut.best < 0 && road > 0 && fig.cut_skips < 0) fig.cut_skips = cut.unpassed;
    }
}

// The mud cuts against the road, both raced by the driver at every
// waypoint: what a player gains or loses by going straight over the mud.
static void mud_cut_figures(const std::string& path, track_figures& fig) {
    kit_race(path, 0, 0, 0, 1);
    const std::vector<mud_cut> cuts = find_mud_cuts();
    fig.mud_cuts = (int)cuts.size();
    for (const mud_cut& m : cuts) {
        const waypoint& a = loaded_track.waypoints[m.from];
        const waypoint& b = loaded_track.waypoints[m.to];
        // A waypoint's road is the two cells right of and below it.
        fig.mud_cut_cells.push_back({(a.x / 50 - 1) * fig.size + a.y / 50 - 1, (b.x / 50 - 1) * fig.size + b.y / 50 - 1});
    }
    if (cuts.empty()) return;
    const std::vector<int> aims = aims_across(cuts);
    for (int off_road = 0; off_road < KIT_RULES; off_road++)
        for (int c = 0; c < CUT_CHAINS; c++) {
            rule_figures& rule = fig.rule[off_road];
            rule.across_lap[c] = script_drive(path, cut_chains[c], aims, off_road).best;
            const double round = rule.round_lap[c];
            if (round > 0 && rule.across_lap[c] > 0) rule.mud_gain[c] = 100.0 * (round - rule.across_lap[c]) / round;
        }
}

static bool boxes_meet(int ax, int ay, int aw, int ah, int bx, int by, int bw, int bh) {
    return ax < bx + bw && bx < ax + aw && ay < by + bh && by < ay + ah;
}

// Every racer's 10-ball chain where the race places it: how many balls down
// the chain all lie on the grid and off slowing cells, and the first
// checkpoint marker a ball's picture touches.
static void grid_figures(const std::string& path, track_figures& fig) {
    const Race race = kit_race(path, MAX_BALLS, MAX_BALLS, MAX_BALLS, 1);
    const int n = loaded_track.size, edge = 50 * n, half = BALL_HALF_SIZE;
    const int mw = marker_idle ? marker_idle->w : 90, mh = marker_idle ? marker_idle->h : 90;
    fig.grid_balls = MAX_BALLS;
    fig.grid_overlap = -1;
    for (int b = 0; b < MAX_BALLS; b++)
        for (int r = 0; r < RACERS; r++) {
            const int cx = (int)race.balls[b].x[r] + view_half_width(race);
            const int cy = (int)race.balls[b].y[r] + view_half_height(race);
            const int x0 = cx - half, y0 = cy - half, x1 = cx + half - 1, y1 = cy + half - 1;
            bool room = x0 >= 0 && y0 >= 0 && x1 < edge && y1 < edge;
            for (int x = x0 / 50; room && x <= x1 / 50; x++)
                for (int y = y0 / 50; room && y <= y1 / 50; y++) {
                    const int t = loaded_track.tiles[x][y];
                    room = !(t >= 1 && t <= 5);
                }
            if (!room && b < fig.grid_balls) fig.grid_balls = b;
            const int k_count = loaded_track.checkpoint_count < MAX_CHECKPOINTS ? loaded_track.checkpoint_count : MAX_CHECKPOINTS;
            for (int k = 0; k < k_count && fig.grid_overlap < 0; k++) {
                const checkpoint& c = loaded_track.checkpoints[k];
                if (boxes_meet(x0, y0, 2 * half, 2 * half, c.x + 5, c.y + 5, mw, mh)) fig.grid_overlap = k;
            }
        }
}

void measure_track(const std::string& path, track_figures& fig) {
    fig = track_figures();
    fig.size = loaded_track.size;
    route_figures(fig);
    shortcut_figures(fig);
    for (int off_road = 0; off_road < KIT_RULES; off_road++) {
        rule_figures& rule = fig.rule[off_road];
        rule.lap_seconds = computer_lap(path, off_road);
        for (int d = LAP_CLASSIC; d <= LAP_EXPERT; d++) {
            if (rule.lap_seconds == LAP_NOT_MEASURABLE) {
                rule.driver_lap_seconds[d] = LAP_NOT_MEASURABLE;
                continue;
            }
            const driver_lap lap = drive_first_lap(path, d, 7, false, false, LAP_GIVE_UP_SECONDS * 50, off_road);
            rule.driver_lap_seconds[d] = lap.steps < 0 ? -1 : lap.steps / 50.0;
        }
        cut_figures(path, off_road, rule);
    }
    mud_cut_figures(path, fig);
    grid_figures(path, fig);
    const Race one_player = new_race();   // a one-player race's view
    fig.view_cells = (one_player.view_width < one_player.view_height ? one_player.view_width
                                                                     : one_player.view_height) / 50;
    // As the settings show it: cut to what the catalogue keeps.
    fig.name = level_name_of_file(path).substr(0, LEVEL_NAME_LEN - 1);
    int w = 0, h = 0;
    if (small_font && TTF_SizeText(small_font, fig.name.c_str(), &w, &h) == 0) fig.name_pixels = w;
    fig.name_room = (int)design_limits[LIMIT_NAME_PIXELS].value;
    fig.measured = true;
}

static std::string fixed(double v, int decimals) {
    char number[64];
    std::snprintf(number, sizeof number, "%.*f", decimals, v);
    return number;
}

// The cut gain and the mud cuts under each rule, by that rule's limit.
static void rule_findings(const track_figures& f, track_report& report) {
    const int chain = cut_chains[CUT_CHAINS - 1];
    for (int off_road = 0; off_road < KIT_RULES; off_road++) {
        const rule_figures& r = f.rule[off_road];
        const bool slows = off_road == OFF_ROAD_SLOWS;
        auto limit = [&](int k) { return slows ? design_limits[k].slows_value : design_limits[k].value; };
        const std::string under = slows ? " under Off-road Slows" : "";
        const double gain = r.cut_gain[CUT_CHAINS - 1];
        if (gain != CUT_NOT_MEASURED && gain > limit(LIMIT_CUT_GAIN))
            report.findings.push_back({0, 0, false,
                                       "cut gain " + fixed(gain, 1) + " % with a " + std::to_string(chain) +
                                           "-ball chain" + under + ", above " + fixed(limit(LIMIT_CUT_GAIN), 0) +
                                           " %: cutting the corners across the grass pays"});
        const double mud = r.mud_gain[CUT_CHAINS - 1];
        if (mud != CUT_NOT_MEASURED && mud > limit(LIMIT_MUD_CUT))
            report.findings.push_back({0, 0, false,
                                       "mud cut gain " + fixed(mud, 1) + " % with a " + std::to_string(chain) +
                                           "-ball chain" + under + ", above " + fixed(limit(LIMIT_MUD_CUT), 0) +
                                           " %: the mud does not cost a long chain"});
    }
}

void design_findings(track_report& report) {
    const track_figures& f = report.figures;
    if (!f.measured) return;
    auto warn = [&](int row, int col, const std::string& m) { report.findings.push_back({row, col, false, m}); };
    const design_limit* L = design_limits;
    if (f.shortcut_ratio >= 0 && f.shortcut_ratio < L[LIMIT_SHORTCUT_RATIO].value)
        warn(0, 0, std::string("shortcut ratio ") + fixed(f.shortcut_ratio, 2) + ", below " +
                       fixed(L[LIMIT_SHORTCUT_RATIO].value, 2) + ": leaving the road gains time");
    rule_findings(f, report);
    const int skips = f.rule[OFF_ROAD_FREE].cut_skips >= 0 ? f.rule[OFF_ROAD_FREE].cut_skips
                                                             : f.rule[OFF_ROAD_SLOWS].cut_skips;
    if (skips >= 0) {
        const checkpoint& c = loaded_track.checkpoints[skips];
        warn(c.y / 50 + 1, c.x / 50 + 1,
             "checkpoint " + std::to_string(skips + 1) +
                 " lies where a cut of the route skips it: a driver cutting the corners makes no lap");
    }
    const double lap = f.rule[OFF_ROAD_FREE].lap_seconds;
    if (lap == LAP_NOT_MEASURABLE)
        ;   // check has said there is no checkpoint
    else if (lap < 0)
        warn(0, 0, "the computer driver does not finish a lap in " + std::to_string(LAP_GIVE_UP_SECONDS) + " s");
    else if (lap < L[LIMIT_LAP_SHORTEST].value)
        warn(0, 0, std::string("computer lap ") + fixed(lap, 2) + " s, under " +
                       fixed(L[LIMIT_LAP_SHORTEST].value, 0) + " s");
    else if (lap > L[LIMIT_LAP_LONGEST].value)
        warn(0, 0, std::string("computer lap ") + fixed(lap, 2) + " s, over " +
                       fixed(L[LIMIT_LAP_LONGEST].value, 0) + " s");
    const int fx = loaded_track.finish_x / 50, fy = loaded_track.finish_y / 50;
    if (f.grid_balls < L[LIMIT_GRID_BALLS].value)
        warn(fy + 1, fx + 1, "room below the finish for " + std::to_string(f.grid_balls) + " of the " +
                                 std::to_string(MAX_BALLS) + " balls of a start grid");
    if (f.grid_overlap >= 0) {
        const checkpoint& c = loaded_track.checkpoints[f.grid_overlap];
        warn(c.y / 50 + 1, c.x / 50 + 1,
             "checkpoint " + std::to_string(f.grid_overlap + 1) + "'s marker lies on the 10-ball start grid");
    }
    if (f.size < L[LIMIT_VIEW_CELLS].value)
        warn(0, 1, std::to_string(f.size) + " x " + std::to_string(f.size) + " cells, smaller than the " +
                       std::to_string(f.view_cells) + " x " + std::to_string(f.view_cells) +
                       "-cell view: it shows black bands");
    if (f.name_pixels > f.name_room)
        warn(0, 0, "name \"" + printable(f.name) + "\" is " + std::to_string(f.name_pixels) +
                       " pixels wide in the small font, more than the " + std::to_string(f.name_room) +
                       " of the \"Level:\" button");
}
