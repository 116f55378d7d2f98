// SPDX-License-Identifier: GPL-3.0-or-later
// The track makers' kit: check's findings with their places, hostile files,
// the design figures worked out by hand, render against the race view, and
// chainball --loaded_track.
#include <SDL/SDL_image.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/state.h"
#include "harness.h"
#include "io/assets.h"
#include "race/race.h"
#include "shell/options.h"
#include "shell/shell.h"
#include "sim/sim.h"
#include "track/track.h"
#include "trackkit/trackkit.h"
#include "trackkit/trackkit_local.h"
#include "view/tiles.h"
#include "view/view.h"

namespace {

// The worked example of docs/tracks.md: clockwise, finish on the left road
// at column 2, row 7 (counted from 1).
const char* const loop_rows[12] = {
    "............", ".11======22.", ".11######22.", ".T#......T#.", ".T#......T#.", ".T#......T#.",
    ".M#......T#.", ".T#......T#.", ".T#......T#.", ".44======33.", ".44######33.", "............",
};

std::vector<std::string> loop() { return std::vector<std::string>(loop_rows, loop_rows + 12); }

std::string level_text(const std::vector<std::string>& rows, const char* size = "0012") {
    std::string s = std::string(size) + "\n";
    for (const std::string& r : rows) s += r + "\n";
    return s;
}

// Every test leaves the shared track and settings as it found them.
class TrackKit : public ::testing::Test {
protected:
    std::unique_ptr<Track> saved_track{new Track(loaded_track)};
    RaceSettings saved_settings = race_settings;
    void TearDown() override {
        loaded_track = *saved_track;
        race_settings = saved_settings;
    }
    track_report check_text(const std::string& content) {
        track_report r;
        check_track(scratch_file(content), r);
        return r;
    }
};
class TrackKitFindings : public TrackKit {};
class TrackKitFigures : public TrackKit {
protected:
    void SetUp() override { start_game_headless(); }
};

// "ROW:COL: error|warning: message" lines of a report.
std::vector<std::string> lines(const track_report& r) {
    std::vector<std::string> out;
    for (const finding& f : r.findings)
        out.push_back(std::to_string(f.row) + ":" + std::to_string(f.col) + ": " +
                      (f.error ? "error: " : "warning: ") + f.message);
    return out;
}

// The finding at `place` ("ROW:COL: kind") whose message holds `words`.
bool has(const track_report& r, const std::string& place, const std::string& words) {
    for (const std::string& l : lines(r))
        if (l.rfind(place + ": ", 0) == 0 && l.find(words) != std::string::npos) return true;
    return false;
}

std::string all(const track_report& r) {
    std::string s;
    for (const std::string& l : lines(r)) s += l + "\n";
    return s;
}

}   // namespace

TEST_F(TrackKitFindings, TheWorkedExampleIsRaceableWithItsKnownDesignWarnings) {
    track_report r = check_text(level_text(loop()));
    EXPECT_EQ(r.count(true), 0) << all(r);
    EXPECT_TRUE(r.figures.measured);
}

TEST_F(TrackKitFindings, SizeFieldErrorsSayWhatTheGameReads) {
    track_report r = check_text("ab12\n....");
    EXPECT_TRUE(has(r, "0:1: error", "size field \"ab12\" is not a number: it reads as 0")) << all(r);
    r = check_text("0000");
    EXPECT_TRUE(has(r, "0:1: error", "reads as 0, outside 1 to 499")) << all(r);
    r = check_text("0500");
    EXPECT_TRUE(has(r, "0:1: error", "reads as 500, outside 1 to 499: the game loads an empty level")) << all(r);
    r = check_text("-012");
    EXPECT_TRUE(has(r, "0:1: error", "reads as -12")) << all(r);
    EXPECT_EQ(r.findings.size(), 1u) << all(r);
    // A number that is not four digits is read as the game reads it.
    r = check_text(level_text(loop(), "+012"));
    EXPECT_TRUE(has(r, "0:1: warning", "size field \"+012\" is not four digits: it reads as 12")) << all(r);
    EXPECT_EQ(r.count(true), 0) << all(r);
}

TEST_F(TrackKitFindings, MissingCellsAndTheFinishAreErrors) {
    std::vector<std::string> rows = loop();
    rows.pop_back();
    rows.back().resize(5);   // row 11 stops after column 5
    track_report r = check_text(level_text(rows));
    EXPECT_TRUE(has(r, "11:6: error", "19 cells missing from here on: the file holds 125 of the 12 x 12")) << all(r);

    rows = loop();
    rows[6][1] = 'T';
    r = check_text(level_text(rows));
    EXPECT_TRUE(has(r, "0:0: error", "no finish cell 'M' in the grid: the game keeps the previous track's finish"))
        << all(r);
    EXPECT_EQ(r.count(true), 1) << all(r);

    rows = loop();
    rows[1][9] = rows[1][10] = rows[2][9] = rows[2][10] = '.';   // no top-right corner
    r = check_text(level_text(rows));
    EXPECT_TRUE(has(r, "2:10: error", "leaves the road here, heading right onto '.', and does not come back"))
        << all(r);
    EXPECT_FALSE(r.figures.measured);

    rows = loop();
    // No bottom-right corner: the right road runs on into the bottom edge.
    rows[9][9] = rows[10][9] = rows[11][9] = 'T';
    rows[9][10] = rows[10][10] = rows[11][10] = '#';
    r = check_text(level_text(rows));
    EXPECT_TRUE(has(r, "12:10: error", "runs off the grid's edge here, heading down")) << all(r);
}

TEST_F(TrackKitFindings, GridWarningsNameTheFirstPlace) {
    std::vector<std::string> rows = loop();
    rows[0][3] = 'X';
    rows[4][5] = 'X';
    rows[11][0] = '?';
    track_report r = check_text(level_text(rows) + "==\n");
    EXPECT_TRUE(has(r, "1:4: warning", "character 'X' has no meaning")) << all(r);
    EXPECT_TRUE(has(r, "12:1: warning", "character '?' has no meaning")) << all(r);
    EXPECT_FALSE(has(r, "5:6: warning", "'X'")) << "each character once: " << all(r);
    EXPECT_TRUE(has(r, "13:1: warning",
                    "2 characters beyond the 12 x 12 grid from here on: the game does not show or race them, "
                    "but counts their 2 straights"))
        << all(r);
    // The two extra straights make the walk go round again.
    EXPECT_TRUE(has(r, "7:2: warning", "passes the finish again")) << all(r);
    EXPECT_EQ(r.count(true), 0) << all(r);
}

TEST_F(TrackKitFindings, RoadPiecesCutShortOverlappingOrMissing) {
    std::vector<std::string> rows = loop();
    rows[2][4] = 'x';    // under the '=' at row 2, column 5
    rows[3][2] = 'T';    // over the right half of the 'T' at row 4, column 2
    rows[5][5] = '#';    // a blank in the infield
    rows[7][6] = '3';    // a lone corner
    rows[11][3] = '=';   // a straight whose lower half is past the edge
    track_report r = check_text(level_text(rows));
    EXPECT_TRUE(has(r, "3:5: warning", "slowing cell 'x' is drawn over the road piece '=' at 2:5, cutting it short"))
        << all(r);
    EXPECT_TRUE(has(r, "4:3: warning", "road piece 'T' overlaps the road piece 'T' at 4:2")) << all(r);
    EXPECT_TRUE(has(r, "6:6: warning", "'#' is covered by no road piece: it shows black")) << all(r);
    EXPECT_TRUE(has(r, "8:7: warning", "corner '3' is not the top-left of a 2 x 2 block")) << all(r);
    EXPECT_TRUE(has(r, "12:4: warning", "road piece '=' at 12:4 is cut short: it runs past the grid's edge"))
        << all(r);
    // The two straights off the route are counted by the walk.
    EXPECT_TRUE(has(r, "4:3: warning", "2 straights are not on the route (the first here)")) << all(r);
}

TEST_F(TrackKitFindings, MoreThanTenFindingsOfAKindAreCounted) {
    std::vector<std::string> rows = loop();
    for (int y = 3; y <= 8; y++)
        for (int x = 3; x <= 8; x++) rows[y][x] = '#';
    track_report r = check_text(level_text(rows));
    int bare = 0;
    for (const std::string& l : lines(r)) bare += l.find("covered by no road piece") != std::string::npos;
    EXPECT_EQ(bare, 10);
    EXPECT_TRUE(has(r, "0:0: warning", "26 more uncovered cells not listed")) << all(r);
}

TEST_F(TrackKitFindings, SlowingCellsOnTheRouteAndASecondFinish) {
    std::vector<std::string> rows = loop();
    rows[4][1] = 'x';   // on the walk's own line
    rows[8][9] = 'M';   // a second finish on the right road
    track_report r = check_text(level_text(rows));
    EXPECT_TRUE(has(r, "5:2: warning", "the route crosses 'x' here, off the road: no waypoint is laid on it"))
        << all(r);
    EXPECT_TRUE(has(r, "9:10: warning", "2 finish cells 'M' (the second here): the race starts at 7:2")) << all(r);
}

// A rectangular loop of `n` cells a side: the road's outer edge on row and
// column 1 and on n - 2, the finish on the left road at row `m` (from 0).
static std::vector<std::string> big_loop(int n, int m) {
    std::vector<std::string> rows((size_t)n, std::string((size_t)n, '.'));
    const int a = 1, b = n - 3;   // the walk's line: column / row 1 and n - 3
    for (int i = a; i <= b + 1; i++) {
        rows[a][i] = rows[b][i] = '=';
        rows[a + 1][i] = rows[b + 1][i] = '#';
        rows[i][a] = rows[i][b] = 'T';
        rows[i][a + 1] = rows[i][b + 1] = '#';
    }
    const char corners[4] = {'1', '2', '3', '4'};
    const int cx[4] = {a, b, b, a}, cy[4] = {a, a, b, b};
    for (int k = 0; k < 4; k++)
        for (int d = 0; d < 4; d++) rows[cy[k] + d / 2][cx[k] + d % 2] = corners[k];
    rows[m][a] = 'M';
    return rows;
}

TEST_F(TrackKitFindings, LongRoutesAreCutWhereTheRaceCutsThem) {
    const int n = 260, m = 130, a = 1, b = n - 3;
    std::vector<std::string> rows = big_loop(n, m);
    // The walk's cells in order, counted independently of the loader: up the
    // left road, right along the top, down the right, left along the bottom.
    std::vector<std::pair<int, int>> walk;
    for (int y = m; y >= a; y--) walk.push_back({a, y});
    for (int x = a + 1; x <= b; x++) walk.push_back({x, a});
    for (int y = a + 1; y <= b; y++) walk.push_back({b, y});
    for (int x = b - 1; x >= a; x--) walk.push_back({x, b});
    for (int y = b - 1; y > m; y--) walk.push_back({a, y});
    // Every cell of the line lays a waypoint; every tenth straight from the
    // 11th on a checkpoint.
    std::pair<int, int> waypoint_1001 = walk[1000], checkpoint_51{-1, -1};
    int straights = 0;
    for (const auto& c : walk) {
        const char ch = rows[c.second][c.first];
        if (ch != '=' && ch != 'T') continue;
        straights++;
        if (straights == 11 + 50 * 10) checkpoint_51 = c;
    }
    const char size[5] = {'0', '2', '6', '0', 0};
    track_report r = check_text(level_text(rows, size));
    const auto place = [](std::pair<int, int> c) {
        return std::to_string(c.second + 1) + ":" + std::to_string(c.first + 1);
    };
    EXPECT_TRUE(has(r, place(waypoint_1001) + ": warning",
                    "longer than the computer drivers' 1000 waypoints: the race cuts it here"))
        << all(r);
    EXPECT_TRUE(has(r, place(checkpoint_51) + ": warning", "more than 50 checkpoints: the race cuts them here"))
        << all(r);
    EXPECT_EQ(r.count(true), 0) << all(r);
}

TEST_F(TrackKitFindings, NoCheckpointOnAShortRoute) {
    const std::vector<std::string> rows = {"11==22", "11##22", "T#..T#", "M#..T#", "44==33", "44##33"};
    track_report r = check_text(level_text(rows, "0006"));
    EXPECT_TRUE(has(r, "4:1: warning", "no checkpoint (the route walk lays one on every 11th straight)")) << all(r);
    EXPECT_TRUE(has(r, "0:1: warning", "6 x 6 cells, smaller than the 10 x 10-cell view")) << all(r);
    EXPECT_EQ(r.figures.rule[OFF_ROAD_FREE].lap_seconds, LAP_NOT_MEASURABLE);
    EXPECT_LT(r.figures.shortcut_ratio, 0);
}

// The hostile cases of README "Bad input" and worse: each a clear finding,
// never a hang or a crash (this suite also runs under the sanitizers).
TEST_F(TrackKitFindings, HostileFilesGetAClearFinding) {
    char dir[] = "/tmp/chainball-kit-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string d = dir;
    ASSERT_EQ(mkfifo((d + "/fifo.txt").c_str(), 0600), 0);
    {
        std::ofstream big(d + "/big.txt");
        big << "0012";
    }
    ASSERT_EQ(truncate((d + "/big.txt").c_str(), 100 << 20), 0);
    const std::map<std::string, std::string> expected = {
        {d + "/fifo.txt", "a FIFO, not a regular file"},
        {"/dev/zero", "a character device, not a regular file"},
        {d, "a directory, not a file"},
        {d + "/big.txt", "larger than 4194304 bytes"},
        {d + "/missing.txt", "no such file"},
    };
    for (const auto& [path, cause] : expected) {
        track_report r;
        check_track(path, r);
        ASSERT_EQ(r.findings.size(), 1u) << path;
        EXPECT_EQ(lines(r)[0], "0:0: error: cannot read the file (" + cause + "): the game loads an empty level");
        std::string why;
        EXPECT_FALSE(render_track(path, d + "/out.png", true, 1, 1, why));
        EXPECT_NE(why.find(cause), std::string::npos) << why;
    }
    if (geteuid() == 0) {
        std::printf("unreadable file not tried: root reads a file of mode 000\n");
    } else {
        const std::string locked = scratch_file(level_text(loop()));
        chmod(locked.c_str(), 0);
        track_report r;
        check_track(locked, r);
        EXPECT_TRUE(has(r, "0:0: error", "cannot read the file (Permission denied)")) << all(r);
    }
    // Binary garbage, after a valid size field and without one.
    std::srand(5);
    std::string noise;
    for (int i = 0; i < 20000; i++) noise += (char)(std::rand() & 255);
    for (const std::string& text : {"0030" + noise, "0499" + noise, noise}) {
        track_report r;
        check_track(scratch_file(text), r);
        EXPECT_GE(r.count(true), 1) << all(r);
    }
    std::string why;
    EXPECT_TRUE(render_track(scratch_file("0030" + noise), d + "/out.png", true, 1, 1, why)) << why;
    std::system(("rm -rf " + d).c_str());
}

TEST_F(TrackKitFindings, ShortestWayAvoidsClosedCellsAndSqueezes) {
    loaded_track.size = 5;
    loaded_track.finish_x = loaded_track.finish_y = 0;
    loaded_track.checkpoint_count = 1;
    loaded_track.checkpoints[0] = checkpoint{100, 100};
    std::vector<bool> open(25, true);
    // Open: two diagonals there and two back.
    EXPECT_NEAR(shortest_lap_way(open, 5), 4 * std::sqrt(2.0), 1e-9);
    // Cell (1, 0) closed: no diagonal from (0, 0) to (1, 1) past it, so one
    // straight step each way: 1 + sqrt 2 + 1 there, the same back.
    open[1 * 5 + 0] = false;
    EXPECT_NEAR(shortest_lap_way(open, 5), 4 + 2 * std::sqrt(2.0), 1e-9);
    // Both side cells closed: the finish is shut in.
    open[0 * 5 + 1] = false;
    EXPECT_LT(shortest_lap_way(open, 5), 0);
    loaded_track.checkpoint_count = 0;
    open.assign(25, true);
    EXPECT_LT(shortest_lap_way(open, 5), 0);   // no checkpoint: nothing to measure
}

// The worked example's figures, by hand (docs/tracks.md works them out).
TEST_F(TrackKitFigures, WorkedExampleFiguresByHand) {
    const std::string path = scratch_file(level_text(loop()));
    track_report r;
    check_track(path, r);
    const track_figures& f = r.figures;
    ASSERT_TRUE(f.measured);
    EXPECT_EQ(f.size, 12);
    // The walk's line is a square of 8 cells a side: 32 waypoints 50 px apart.
    EXPECT_EQ(f.waypoints, 32);
    EXPECT_DOUBLE_EQ(f.route_px, 1600);
    EXPECT_EQ(f.checkpoints, 2);
    EXPECT_TRUE(f.clockwise);
    EXPECT_STREQ(f.finish_side, "left");
    // Finish (2,7) -> checkpoint (10,5) -> checkpoint (4,10) -> finish, as
    // column, row from 1. Across the grass: 6 + 2 sqrt 2, then 1 + 5 sqrt 2,
    // then 1 + 2 sqrt 2. On the road: up and across the top with one
    // diagonal, 12 + sqrt 2; down and along the bottom, 11; back with one
    // diagonal, 3 + sqrt 2.
    const double s2 = std::sqrt(2.0);
    EXPECT_NEAR(f.open_way, 8 + 9 * s2, 1e-9);
    EXPECT_NEAR(f.road_way, 26 + 2 * s2, 1e-9);
    EXPECT_NEAR(f.shortcut_ratio, (8 + 9 * s2) / (26 + 2 * s2), 1e-9);
    EXPECT_EQ(f.grid_balls, 10);
    EXPECT_EQ(f.grid_overlap, -1);
    EXPECT_EQ(f.view_cells, 10);
    EXPECT_EQ(f.name_room, 90);
    EXPECT_TRUE(has(r, "0:0: warning", "shortcut ratio 0.72, below 0.85")) << all(r);

    // The lap, against chainball-sim's own records of the same race.
    sim_options opt;
    opt.lengths[0] = 1;
    opt.lengths[1] = 0;
    opt.lengths[2] = 10;
    opt.laps = 1;
    opt.steps = 3000;
    opt.level_file = path;
    FILE* out = tmpfile();
    ASSERT_EQ(run_simulation(opt, out, stderr), 0);
    rewind(out);
    char line[4096];
    long long lap_step = -1, step = 0;
    while (lap_step < 0 && std::fgets(line, sizeof line, out)) {
        if (std::sscanf(line, "step %lld", &step) == 1) continue;
        int laps;
        if (std::sscanf(line, "racer 2 %*f %d", &laps) == 1 && laps >= 1) lap_step = step;
    }
    std::fclose(out);
    ASSERT_GT(lap_step, 0);
    EXPECT_DOUBLE_EQ(f.rule[OFF_ROAD_FREE].lap_seconds, lap_step / 50.0);
}

std::string shipped_text(const std::string& name) {
    std::ifstream in("filut/levelit/" + name + ".txt");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The cut gain. On the worked example the corner-cutting driver's head
// keeps to the road's two cells, so its rounder line is the road's best and
// nothing is gained off the road. StepDown's staircase without its verges:
// the cutting driver runs over the grass at the steps' corners, yet the same
// line held to the road is as fast, so the grass gains nothing; under Slows
// the grass costs the cut. With the verges a long chain pays more in the
// gravel than a short one.
TEST_F(TrackKitFigures, CutGainCountsOnlyWhatLeavingTheRoadGains) {
    track_report open_loop;
    check_track(scratch_file(level_text(loop())), open_loop);
    ASSERT_TRUE(open_loop.figures.measured);
    for (const rule_figures& f : open_loop.figures.rule)
        for (int c = 0; c < CUT_CHAINS; c++) {
            SCOPED_TRACE(cut_chains[c]);
            ASSERT_GT(f.road_lap[c], 0);
            EXPECT_DOUBLE_EQ(f.cut_gain[c], 0);
            EXPECT_EQ(f.cut_grass_steps[c] + f.cut_slowing_steps[c], 0);
        }
    EXPECT_FALSE(has(open_loop, "0:0: warning", "cutting the corners")) << all(open_loop);

    const std::string text = shipped_text("StepDown");
    std::string bare = text;
    ASSERT_NE(bare.find('x'), std::string::npos);
    std::replace(bare.begin(), bare.end(), 'x', '.');
    track_report open_steps;
    check_track(scratch_file(bare), open_steps);
    ASSERT_TRUE(open_steps.figures.measured) << all(open_steps);
    const rule_figures& g = open_steps.figures.rule[OFF_ROAD_FREE];
    const rule_figures& slows = open_steps.figures.rule[OFF_ROAD_SLOWS];
    for (int c = 0; c < CUT_CHAINS; c++) {
        SCOPED_TRACE(cut_chains[c]);
        ASSERT_GT(g.road_lap[c], 0);
        ASSERT_GT(g.cut_lap[c], 0);
        EXPECT_NEAR(g.cut_gain[c], 100 * (g.road_lap[c] - g.cut_lap[c]) / g.road_lap[c], 1e-9);
        EXPECT_GT(g.cut_grass_steps[c], 0);
        EXPECT_EQ(g.cut_slowing_steps[c], 0);
        EXPECT_LT(g.cut_gain[c], 1) << "the line held to the road is as fast";
        EXPECT_GT(slows.cut_lap[c], g.cut_lap[c]) << "under Slows the grass costs the cut";
        EXPECT_LT(slows.cut_gain[c], g.cut_gain[c]);
    }
    EXPECT_DOUBLE_EQ(g.cut_lap[0], g.cut_lap[1]) << "grass slows no chain";
    EXPECT_EQ(g.cut_skips, -1);

    track_report shipped;
    check_track(scratch_file(text), shipped);
    ASSERT_TRUE(shipped.figures.measured) << all(shipped);
    const rule_figures& h = shipped.figures.rule[OFF_ROAD_FREE];
    EXPECT_LT(h.cut_gain[1], 0);
    EXPECT_LT(h.cut_gain[1], h.cut_gain[0]) << "a long chain pays more in the gravel than a short one";
    EXPECT_FALSE(has(shipped, "0:0: warning", "cutting the corners")) << all(shipped);
}

// check holds each rule's figures to that rule's limits, and says which.
TEST_F(TrackKitFigures, CheckWarnsByTheLimitsOfEachRule) {
    auto warnings = [](double free_gain, double slows_gain, double slows_mud) {
        track_report r;
        r.figures.measured = true;
        r.figures.size = 20;
        r.figures.grid_balls = MAX_BALLS;
        r.figures.rule[OFF_ROAD_FREE].lap_seconds = r.figures.rule[OFF_ROAD_SLOWS].lap_seconds = 20;
        r.figures.rule[OFF_ROAD_FREE].cut_gain[CUT_CHAINS - 1] = free_gain;
        r.figures.rule[OFF_ROAD_SLOWS].cut_gain[CUT_CHAINS - 1] = slows_gain;
        r.figures.rule[OFF_ROAD_SLOWS].mud_gain[CUT_CHAINS - 1] = slows_mud;
        design_findings(r);
        return lines(r);
    };
    EXPECT_EQ(warnings(4.9, 1.9, 4.9), std::vector<std::string>{});
    EXPECT_EQ(warnings(4.9, 2.1, 4.9),
              std::vector<std::string>{"0:0: warning: cut gain 2.1 % with a 7-ball chain under Off-road Slows, "
                                       "above 2 %: cutting the corners across the grass pays"});
    EXPECT_EQ(warnings(5.1, 1.0, 5.1),
              (std::vector<std::string>{"0:0: warning: cut gain 5.1 % with a 7-ball chain, above 5 %: cutting the "
                                        "corners across the grass pays",
                                        "0:0: warning: mud cut gain 5.1 % with a 7-ball chain under Off-road Slows, "
                                        "above 5 %: the mud does not cost a long chain"}));
}

// Mud cuts. RiskyCut's top road dips round a pit; one cell of mud lies
// across its mouth. The kit finds that straight and no other, the driver at
// every waypoint gains by it with one ball and loses with seven. The mouth
// laid with grass is no mud cut (the cut gain weighs grass); with the finish
// moved so that a checkpoint lies down in the pit, the straight would make
// no lap and is no cut either.
TEST_F(TrackKitFigures, MudCutAcrossAPitMouthPaysForAShortChainOnly) {
    const std::string text = shipped_text("RiskyCut");
    std::vector<std::string> rows;
    std::stringstream split(text);
    for (std::string row; std::getline(split, row);) rows.push_back(row);
    ASSERT_EQ(rows[0], "0025");
    rows.erase(rows.begin());
    ASSERT_EQ(rows[3].substr(10, 5), "22x11");   // the mouth between the pit's corners
    ASSERT_EQ(rows[4].substr(10, 5), "22x11");

    track_report r = check_text(level_text(rows, "0025"));
    const track_figures& f = r.figures;
    ASSERT_TRUE(f.measured) << all(r);
    ASSERT_EQ(f.mud_cuts, 1);
    ASSERT_EQ(f.mud_cut_cells.size(), 1u);
    // From the pit's first corner, (col 11, row 4) counted from 1, straight
    // across to the top-left of its last one.
    EXPECT_EQ(f.mud_cut_cells[0].first, 10 * f.size + 3);
    EXPECT_EQ(f.mud_cut_cells[0].second, 13 * f.size + 3);
    const std::vector<mud_cut> cuts = find_mud_cuts();
    ASSERT_EQ(cuts.size(), 1u);
    const std::vector<int> aims = aims_across(cuts);
    EXPECT_EQ((int)aims.size(), loaded_track.waypoint_count - (cuts[0].to - cuts[0].from - 1));
    EXPECT_TRUE(std::find(aims.begin(), aims.end(), cuts[0].from + 1) == aims.end());
    EXPECT_TRUE(std::find(aims.begin(), aims.end(), cuts[0].to) != aims.end());
    EXPECT_NEAR(cuts[0].line, 150, 1e-9);   // three cells straight over the mouth
    const rule_figures& free_laps = f.rule[OFF_ROAD_FREE];
    for (int c = 0; c < CUT_CHAINS; c++) {
        SCOPED_TRACE(cut_chains[c]);
        ASSERT_GT(free_laps.round_lap[c], 0);
        ASSERT_GT(free_laps.across_lap[c], 0);
        EXPECT_NEAR(free_laps.mud_gain[c], 100 * (free_laps.round_lap[c] - free_laps.across_lap[c]) / free_laps.round_lap[c], 1e-9);
    }
    EXPECT_DOUBLE_EQ(free_laps.round_lap[0], free_laps.round_lap[1]) << "no chain touches the mud round by the road";
    EXPECT_GT(free_laps.mud_gain[0], 2);
    EXPECT_LT(free_laps.mud_gain[1], 0);
    EXPECT_FALSE(has(r, "0:0: warning", "mud cut gain")) << all(r);

    std::vector<std::string> grass = rows;
    for (int y = 2; y <= 4; y++) grass[y][12] = '.';
    track_report g = check_text(level_text(grass, "0025"));
    ASSERT_TRUE(g.figures.measured) << all(g);
    EXPECT_EQ(g.figures.mud_cuts, 0);
    EXPECT_DOUBLE_EQ(g.figures.rule[OFF_ROAD_FREE].mud_gain[0], CUT_NOT_MEASURED);

    std::vector<std::string> moved = rows;
    ASSERT_EQ(moved[11][3], 'M');
    moved[11][3] = 'T';
    moved[9][3] = 'M';
    track_report m = check_text(level_text(moved, "0025"));
    ASSERT_TRUE(m.figures.measured) << all(m);
    bool in_pit = false;
    for (int k = 0; k < loaded_track.checkpoint_count; k++) {
        const int x = loaded_track.checkpoints[k].x / 50, y = loaded_track.checkpoints[k].y / 50;
        in_pit = in_pit || (x >= 10 && x <= 13 && y >= 5 && y <= 9);
    }
    EXPECT_TRUE(in_pit);
    EXPECT_EQ(m.figures.mud_cuts, 0);
}

TEST_F(TrackKitFigures, MirroredLoopTurnsAnticlockwiseFromTheRightRoad) {
    std::vector<std::string> rows = loop();
    rows[6][1] = 'T';
    rows[6][9] = 'M';
    track_report r;
    check_track(scratch_file(level_text(rows)), r);
    ASSERT_TRUE(r.figures.measured) << all(r);
    EXPECT_FALSE(r.figures.clockwise);
    EXPECT_STREQ(r.figures.finish_side, "right");
}

TEST_F(TrackKitFigures, ShortGridCheckpointOnTheGridAndAWideName) {
    // The finish two rows above the bottom road: the grid runs over it and
    // off the map's bottom row.
    std::vector<std::string> rows = loop();
    rows[6][1] = 'T';
    rows[8][1] = 'M';
    const std::string dir = scratch_file("");
    std::remove(dir.c_str());
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    const std::string path = dir + "/AVeryLongTrackName.txt";
    std::ofstream(path) << level_text(rows);
    track_report r;
    check_track(path, r);
    const track_figures& f = r.figures;
    ASSERT_TRUE(f.measured) << all(r);
    // Ball b's centre is 35 + 27 b below the finish row's top (400 px), its
    // picture 13 px round it: ball 5 reaches down to 400 + 35 + 135 + 12 =
    // 582, ball 6 to 609, past the grid's 600.
    EXPECT_EQ(f.grid_balls, 6);
    EXPECT_TRUE(has(r, "9:2: warning", "room below the finish for 6 of the 10 balls")) << all(r);
    EXPECT_EQ(f.name, "AVeryLongTrackName");
    EXPECT_EQ(f.name_pixels, 18 * 7);   // the small font is 7 px a character
    EXPECT_TRUE(has(r, "0:0: warning", "name \"AVeryLongTrackName\" is 126 pixels wide")) << all(r);
    std::remove(path.c_str());
    rmdir(dir.c_str());
}

// Every shipped track passes check without a warning: cutting across costs
// time, the lap takes 12 to 45 s, the start grid has room, the name fits;
// under either off-road rule cutting the corners gains at most 2 % with 1 or
// 7 balls, and five of the tracks have a mud cut laid by hand that pays
// with one ball and costs with seven.
// FirstLoop keeps one: it is the worked example of docs/tracks.md, whose
// road is too short for a 12 s lap.
TEST_F(TrackKitFigures, ShippedTracksPassCheckWithoutWarnings) {
    read_catalogue("filut/levelit/all_levels.txt");
    ASSERT_GE(last_level_index + 1, 14);
    // The tracks with mud laid by hand across a pit's or a bay's mouth.
    const std::set<std::string> designed = {"RiskyCut", "LongSweep", "Backwater", "MudFlats", "GrandLoop"};
    int risk_cuts = 0;
    for (int i = 0; i <= last_level_index; i++) {
        const std::string name = level_names[i];
        SCOPED_TRACE(name);
        track_report r;
        check_track("filut/levelit/" + name + ".txt", r);
        EXPECT_EQ(r.count(true), 0) << all(r);
        ASSERT_TRUE(r.figures.measured);
        const track_figures& f = r.figures;
        if (name == "FirstLoop")
            EXPECT_EQ(lines(r), std::vector<std::string>{"0:0: warning: computer lap 6.12 s, under 12 s"});
        else
            EXPECT_EQ(lines(r), std::vector<std::string>{}) << all(r);
        EXPECT_GE(f.shortcut_ratio, 0.85);
        for (int rule = 0; rule < KIT_RULES; rule++) {
            SCOPED_TRACE(kit_rule_names[rule]);
            const rule_figures& m = f.rule[rule];
            EXPECT_EQ(m.cut_skips, -1);
            // Cutting the corners pays at most 2 % with either chain.
            for (int c = 0; c < CUT_CHAINS; c++) EXPECT_LE(m.cut_gain[c], 2) << cut_chains[c];
            // A risk: the mud cut pays with one ball and costs with seven.
            const bool risk = f.mud_cuts > 0 && m.mud_gain[0] > 0 && m.mud_gain[1] < 0;
            risk_cuts += risk && rule == OFF_ROAD_FREE;
            EXPECT_TRUE(risk || !designed.count(name)) << f.mud_cuts << " " << m.mud_gain[0] << " " << m.mud_gain[1];
        }
        // Room to see: no road cell within 3 cells of the grid's edge.
        for (int x = 0; x < f.size; x++)
            for (int y = 0; y < f.size; y++) {
                const int t = loaded_track.tiles[x][y];
                const bool inside = x >= 3 && y >= 3 && x < f.size - 3 && y < f.size - 3;
                const bool road = road_code(t) || t == TILE_BLANK || (loaded_track.wide_road[x][y] & WIDE_LANE);
                EXPECT_TRUE(inside || !road) << x << "," << y;
            }
    }
    EXPECT_GE(risk_cuts, 5);
}

// What makes the set worth racing, from the figures stats measures: enough
// tracks, some with roads that widen, both directions, finishes on the left road, the right road and
// inside, sizes from small to big, and the catalogue in order of the
// computer's lap from FirstLoop up.
TEST_F(TrackKitFigures, ShippedSetKeepsItsVariety) {
    read_catalogue("filut/levelit/all_levels.txt");
    const int count = last_level_index + 1;
    EXPECT_GE(count, 14);
    ASSERT_GE(count, 1);
    EXPECT_STREQ(level_names[0], "FirstLoop");
    int anticlockwise = 0, smallest = 1000, largest = 0, wide = 0;
    std::map<std::string, int> finishes;
    double previous_lap = 0;
    for (int i = 0; i < count; i++) {
        const std::string name = level_names[i];
        SCOPED_TRACE(name);
        track_report r;
        check_track("filut/levelit/" + name + ".txt", r);
        const track_figures& f = r.figures;
        ASSERT_TRUE(f.measured) << all(r);
        anticlockwise += !f.clockwise;
        wide += f.wide_cells > 0;
        finishes[f.finish_side]++;
        smallest = std::min(smallest, f.size);
        largest = std::max(largest, f.size);
        EXPECT_LE(name.size(), 12u);
        const double lap = f.rule[OFF_ROAD_FREE].lap_seconds;
        EXPECT_GE(lap, previous_lap) << "the catalogue runs from short laps to long ones";
        previous_lap = lap;
    }
    EXPECT_GE(anticlockwise, 5);
    EXPECT_GE(count - anticlockwise, 5);
    EXPECT_GE(wide, 3) << "tracks whose road widens to three cells";
    EXPECT_GE(finishes["left"], 1);
    EXPECT_GE(finishes["right"], 1);
    EXPECT_GE(finishes["inside"], 1);
    EXPECT_GE(smallest, 16);   // FirstLoop's 10-cell road with 3 cells of grass all round
    EXPECT_LE(smallest, 18);
    EXPECT_GE(largest, 36);
    EXPECT_LE(largest, 44);
}

namespace {
// A picture read back from a PNG file, as 0xRRGGBB.
struct picture {
    int w = 0, h = 0;
    std::vector<Uint32> px;
    Uint32 at(int x, int y) const { return px[(size_t)y * w + x]; }
};
picture read_png(const std::string& path) {
    picture p;
    SDL_Surface* s = IMG_Load(path.c_str());
    if (!s) return p;
    p.w = s->w;
    p.h = s->h;
    for (int y = 0; y < s->h; y++)
        for (int x = 0; x < s->w; x++) {
            Uint8* q = (Uint8*)s->pixels + y * s->pitch + x * s->format->BytesPerPixel;
            Uint32 v = 0;
            std::memcpy(&v, q, s->format->BytesPerPixel);
            Uint8 r, g, b;
            SDL_GetRGB(v, s->format, &r, &g, &b);
            p.px.push_back((Uint32)(r << 16 | g << 8 | b));
        }
    SDL_FreeSurface(s);
    return p;
}
}   // namespace

// The picture of the cells is what the race view shows of them, at every
// camera place, slowing cells' looks included (drawn from the same seed).
TEST_F(TrackKitFigures, RenderEqualsTheRaceViewOfAShippedTrack) {
    const std::string level = "filut/levelit/Serpent.txt", out = scratch_file("");
    std::string why;
    ASSERT_TRUE(render_track(level, out, false, 1, 7, why)) << why;
    const picture full = read_png(out);
    ASSERT_EQ(full.w, 1400);
    ASSERT_EQ(full.h, 1400);

    Random draws = make_random(7);
    const RaceSetup setup = {{7, 2, 5}, 3, false, DIFFICULTY_CLASSIC};
    setup_race(live_race, loaded_track, draws, setup, level.c_str());
    const int cameras[4][2] = {{0, 0}, {-300, -300}, {-137, -251}, {-300, 0}};
    for (const auto& cam : cameras) {
        SDL_FillRect(screen, nullptr, 0);
        live_race.camera_x[0] = cam[0];
        live_race.camera_y[0] = cam[1];
        draw_track(live_race, loaded_track);
        int differ = 0;
        for (int y = 0; y < 500; y++)
            for (int x = 0; x < 500; x++) differ += pixel_at(screen, x, y) != full.at(x - cam[0], y - cam[1]);
        EXPECT_EQ(differ, 0) << "camera " << cam[0] << "," << cam[1];
    }
    live_race.camera_x[0] = live_race.camera_y[0] = 0;

    // Shrunk to a quarter: each pixel the mean of a 4 x 4 block, rounded.
    ASSERT_TRUE(render_track(level, out, false, 0.25, 7, why)) << why;
    const picture small = read_png(out);
    ASSERT_EQ(small.w, 350);
    for (int y = 0; y < 300; y += 13)
        for (int x = 0; x < 300; x += 7)
            for (int c = 0; c < 24; c += 8) {
                int sum = 0;
                for (int j = 0; j < 4; j++)
                    for (int i = 0; i < 4; i++) sum += full.at(4 * x + i, 4 * y + j) >> c & 255;
                EXPECT_NEAR((int)(small.at(x, y) >> c & 255), sum / 16.0, 0.51) << x << "," << y;
            }

    // The route: the waypoint line's colour between two waypoints of the top
    // road, away from the markers and balls.
    ASSERT_TRUE(render_track(level, out, true, 1, 7, why)) << why;
    const picture route = read_png(out);
    EXPECT_EQ(route.at(275, 200), 0xFFE628u);
    EXPECT_NE(full.at(275, 200), 0xFFE628u);
    // A ball of the start grid where the race places it: player 1's head 23
    // px right of and 35 px below the finish's corner (1150, 700).
    EXPECT_NE(route.at(1173, 735), full.at(1173, 735));
}

TEST_F(TrackKitFigures, RenderRefusesWhatItCannotDraw) {
    std::string why;
    const std::string out = scratch_file("");
    EXPECT_FALSE(render_track(scratch_file("0000"), out, false, 1, 1, why));
    EXPECT_NE(why.find("empty"), std::string::npos) << why;
    EXPECT_FALSE(render_track(scratch_file("0400" + std::string(400, '.')), out, false, 1, 1, why));
    EXPECT_NE(why.find("20000 pixels on a side, more than 8000: shrink it with --scale 0.4"), std::string::npos)
        << why;
    EXPECT_FALSE(render_track(scratch_file(level_text(loop())), "/nonexistent-dir/x.png", false, 1, 1, why));
    EXPECT_NE(why.find("cannot write"), std::string::npos) << why;
}

// chainball --track FILE: parsed, checked before any window, and raced.
TEST(TrackKitGameOption, TrackFileIsParsedCheckedAndRaced) {
    game_options opt;
    const char* args[] = {"chainball", "--track", "my.txt"};
    FILE* null_out = std::fopen("/dev/null", "w");
    EXPECT_EQ(parse_game_args(3, args, opt, null_out, null_out), -1);
    EXPECT_EQ(opt.track_file, "my.txt");
    EXPECT_EQ(parse_game_args(2, args, opt, null_out, null_out), 2);
    std::fclose(null_out);

    EXPECT_FALSE(usable_track_file("/dev/zero"));
    EXPECT_FALSE(usable_track_file("/nonexistent.txt"));
    const std::string file = scratch_file(level_text(loop()));
    ASSERT_TRUE(usable_track_file(file));

    start_game_headless();
    const int saved_last = last_level_index;
    std::unique_ptr<char[]> saved_names(new char[sizeof level_names]);
    std::memcpy(saved_names.get(), level_names, sizeof level_names);
    catalogue_of_one_file(file.c_str());
    EXPECT_EQ(last_level_index, 0);
    EXPECT_EQ(std::string(level_names[0]), file.substr(file.rfind('/') + 1));
    load_level();
    EXPECT_EQ(loaded_track.size, 12);
    EXPECT_EQ(loaded_track.finish_x, 50);
    EXPECT_EQ(loaded_track.finish_y, 300);
    EXPECT_EQ(game_screen, SCREEN_RACE);
    track_file_override = nullptr;
    std::memcpy(level_names, saved_names.get(), sizeof level_names);
    last_level_index = saved_last;
    start_game_headless();
}

TEST(TrackKitCommand, ExitStatusesAndTheLimitsInTheGuide) {
    if (access("./chainball-track", X_OK) != 0) GTEST_SKIP() << "chainball-track not built beside the tests";
    std::string out;
    EXPECT_EQ(run("./chainball-track", out), 2);
    EXPECT_NE(out.find("usage: chainball-track check"), std::string::npos) << out;
    EXPECT_EQ(run("./chainball-track check", out), 2);
    EXPECT_EQ(run("./chainball-track frobnicate x.txt", out), 2);
    EXPECT_EQ(run("./chainball-track render x.txt", out), 2);
    EXPECT_EQ(run("./chainball-track render x.txt -o y.png --scale 2", out), 2);
    EXPECT_EQ(run("./chainball-track check filut/levelit/FirstLoop.txt filut/levelit/Serpent.txt", out), 0);
    EXPECT_NE(out.find("filut/levelit/FirstLoop.txt: raceable, 0 errors, 1 warning\n"), std::string::npos) << out;
    EXPECT_EQ(run("./chainball-track check filut/levelit/FirstLoop.txt /dev/zero", out), 1);
    EXPECT_NE(out.find("/dev/zero:0:0: error: cannot read the file"), std::string::npos) << out;
    EXPECT_EQ(run("./chainball-track check --data /nonexistent filut/levelit/FirstLoop.txt", out), 2);
    EXPECT_NE(out.find("/nonexistent/VeraMoBd.ttf"), std::string::npos) << out;
    EXPECT_EQ(run("./chainball-track stats --json filut/levelit/FirstLoop.txt", out), 0);
    EXPECT_NE(out.find("\"shortcut_ratio\": 0.9594"), std::string::npos) << out;
    EXPECT_NE(out.find(", \"slows\": {\"lap_seconds\": 6.12, "), std::string::npos) << out;
    // Both rules' laps and gains, each under its heading.
    EXPECT_EQ(run("./chainball-track stats filut/levelit/FirstLoop.txt", out), 0);
    const size_t free_at = out.find("\n  off-road free "), slows_at = out.find("\n  off-road slows ");
    ASSERT_NE(free_at, std::string::npos) << out;
    ASSERT_NE(slows_at, std::string::npos) << out;
    for (const char* figure : {"\n  computer lap    6.12 s\n", "\n  7-ball laps      Classic ", "\n  cut gain  1 ",
                               "\n  cut gain  7 "}) {
        EXPECT_NE(out.find(figure, free_at), std::string::npos) << figure;
        EXPECT_NE(out.find(figure, slows_at), std::string::npos) << figure;
    }

    // docs/tracks.md shows the limits as the program prints them.
    ASSERT_EQ(run("./chainball-track limits", out), 0);
    std::ifstream guide(source_path("docs/tracks.md"));
    std::stringstream text;
    text << guide.rdbuf();
    EXPECT_NE(text.str().find(out), std::string::npos) << "docs/tracks.md lacks the table:\n" << out;
}

TEST(TrackKitCommand, GameRefusesAnUnreadableTrackBeforeAnyWindow) {
    if (access("./chainball", X_OK) != 0) GTEST_SKIP() << "game binary not built beside the tests";
    std::string out;
    EXPECT_EQ(run("./chainball --track /dev/zero", out), 2);
    EXPECT_EQ(out, "chainball: cannot race track file '/dev/zero': a character device, not a regular file\n");
}

// A track wider than one drawing piece (8000 pixels) comes out whole: grass
// repeats every 50 pixels, so every 5 pixels at a tenth, across the seam too.
TEST_F(TrackKitFigures, RenderJoinsThePiecesOfAWideTrack) {
    const std::string out = scratch_file("");
    std::string why;
    ASSERT_TRUE(render_track(scratch_file("0170" + std::string(170 * 170, '.')), out, false, 0.1, 1, why)) << why;
    const picture p = read_png(out);
    ASSERT_EQ(p.w, 850);
    for (int y = 0; y < 850; y += 97)
        for (int x = 790; x < 815; x++) EXPECT_EQ(p.at(x, y), p.at(x - 5, y)) << x << "," << y;
    EXPECT_NE(p.at(800, 0), 0u);
}

// The worked example with a lane of '+' all round its outside: every corner
// turns wide, the lanes count as road, and the one '+' beside the finish
// (a finish is two cells wide) widens nothing and is named. `render` draws
// the lanes as road only for the full game.
TEST_F(TrackKitFigures, WideLanesAreRoadAndAStrayLaneIsNamed) {
    std::vector<std::string> rows = loop();
    for (int i = 0; i < 12; i++) rows[0][i] = rows[11][i] = rows[i][0] = rows[i][11] = '+';
    const std::string path = scratch_file(level_text(rows, "0012"));
    track_report r;
    check_track(path, r);
    ASSERT_TRUE(r.figures.measured) << all(r);
    EXPECT_FALSE(has(r, "1:1: warning", "no meaning")) << all(r);
    EXPECT_TRUE(has(r, "7:1: warning", "'+' widens no road")) << all(r);
    int lane_findings = 0;
    for (const std::string& l : lines(r)) lane_findings += l.find("widens no road") != std::string::npos;
    EXPECT_EQ(lane_findings, 1) << all(r);
    EXPECT_EQ(r.figures.wide_cells, 43);

    std::vector<int> cover;
    road_cover(12, cover);
    EXPECT_TRUE(road_cell(cover, 0, 3));
    EXPECT_TRUE(road_cell(cover, 0, 0));
    EXPECT_TRUE(road_cell(cover, 2, 3));   // a '#' the 'T' covers
    EXPECT_FALSE(road_cell(cover, 0, 6));  // beside the finish
    EXPECT_FALSE(road_cell(cover, 5, 5));

    const std::string out = scratch_file("");
    std::string why;
    Uint32 lane_px[2];
    for (bool full : {false, true}) {
        full_game = full;
        ASSERT_TRUE(render_track(path, out, false, 1, 1, why)) << why;
        lane_px[full] = read_png(out).at(25, 175);   // the lane left of the left road
    }
    full_game = false;
    ASSERT_TRUE(render_track(path, out, false, 1, 1, why)) << why;
    EXPECT_EQ(lane_px[0], read_png(out).at(25 + 250, 175 + 100)) << "grass, as in the infield";
    EXPECT_NE(lane_px[1], lane_px[0]);
}
