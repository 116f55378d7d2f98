// SPDX-License-Identifier: GPL-3.0-or-later
// chainball-sim: command line, key script, and the records of runs on
// shipped levels.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"
#include "race/race.h"
#include "sim/sim.h"
#include "test_sim_support.h"

namespace {

// The worked example's 12 x 12 circuit, as frozen for the golden runs: the
// shipped FirstLoop keeps its road on a larger grid, so its figures move.
const std::string first_loop_file = CB_SOURCE_DIR "/tests/data/sim/tracks/FirstLoop.txt";
const char* const first_loop = first_loop_file.c_str();

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

struct racer_rec {
    double speed;
    int laps, next;
    std::vector<double> x, y;   // ball positions
};
struct step_rec {
    long n;
    int winner;
    std::map<int, racer_rec> racers;
};
struct run_rec {
    std::vector<step_rec> steps;
    long end = -1;
    bool tail_after_end = false;
};

run_rec parse_records(const std::string& text) {
    run_rec run;
    for (const std::string& line : lines_of(text)) {
        std::istringstream in(line);
        std::string kind;
        in >> kind;
        if (run.end >= 0) run.tail_after_end = true;
        if (kind == "track" || kind == "waypoint" || kind == "checkpoint") {
            continue;
        } else if (kind == "step") {
            step_rec s;
            in >> s.n >> s.winner;
            run.steps.push_back(s);
        } else if (kind == "racer") {
            int r;
            racer_rec rec;
            in >> r >> rec.speed >> rec.laps >> rec.next;
            double x, y, h;
            while (in >> x >> y >> h) {
                rec.x.push_back(x);
                rec.y.push_back(y);
            }
            run.steps.back().racers[r] = rec;
        } else if (kind == "end") {
            in >> run.end;
        } else {
            ADD_FAILURE() << "unknown record: " << line;
        }
    }
    return run;
}

// One lap of FirstLoop for player 1, from the start to the checkpoint on
// the right road, to the one on the bottom road, then up through the
// finish strip: turn on the spot, drive, coast. It cuts across the
// infield, so it runs on the frozen copy of FirstLoop without its verge.
const char* const lap_script =
    "# leg 1: to the right road\n15 RIGHT\n77 UP\n8\n"
    "# leg 2: to the bottom road\n30 RIGHT\n69 UP\n8\n"
    "# leg 3: up through the strip\n21 RIGHT\n40 UP\n8\n";
const char* const three_lap_script =
    "15 RIGHT\n77 UP\n8\n30 RIGHT\n69 UP\n8\n21 RIGHT\n40 UP\n8\n"
    "22 RIGHT\n71 UP\n8\n29 RIGHT\n69 UP\n8\n21 RIGHT\n43 UP\n8\n"
    "22 RIGHT\n71 UP\n8\n29 RIGHT\n69 UP\n8\n21 RIGHT\n42 UP\n8\n";

// The rules of laps and the winner, checked against a run's records:
// laps grow by at most one a step, only with the head at the strip and
// after both checkpoints were visited; the winner is the first to reach
// `laps` (lower index on a tie); `end` comes at the first step at which
// every racer taking part has the laps.
void check_race_rules(const run_rec& run, int laps, const std::vector<int>& taking_part,
                      int half_width) {
    std::map<int, int> last_laps;
    std::map<int, std::pair<bool, bool>> visited;   // checkpoint 0, 1 since the last lap
    int expected_winner = 0;
    long expected_end = -1;
    for (const step_rec& s : run.steps) {
        int first_done = 0;
        bool all_done = true;
        for (int r : taking_part) {
            ASSERT_TRUE(s.racers.count(r)) << "step " << s.n;
            const racer_rec& rec = s.racers.at(r);
            const double wx = rec.x[0] + half_width, wy = rec.y[0] + 250;
            // Checkpoint centres (500, 250) and (200, 500), reach 54, with
            // a few pixels for pushes after the test.
            auto& v = visited[r];
            if (std::hypot(wx - 500, wy - 250) <= 60) v.first = true;
            if (std::hypot(wx - 200, wy - 500) <= 60) v.second = true;
            const int gained = rec.laps - last_laps[r];
            ASSERT_GE(gained, 0) << "step " << s.n;
            ASSERT_LE(gained, 1) << "step " << s.n;
            if (gained) {
                // At the strip (50..150, 300..320), give or take a push.
                EXPECT_TRUE(wx > 42 && wx < 158 && wy > 292 && wy < 328 && v.first && v.second)
                    << "racer " << r << " step " << s.n << " at " << wx << "," << wy;
                v = {false, false};
            }
            last_laps[r] = rec.laps;
            if (rec.laps >= laps && expected_winner == 0 && first_done == 0) first_done = r + 1;
            if (rec.laps < laps) all_done = false;
        }
        if (expected_winner == 0) expected_winner = first_done;
        EXPECT_EQ(s.winner, expected_winner) << "step " << s.n;
        if (all_done && expected_end < 0) expected_end = s.n;
    }
    EXPECT_EQ(run.end, expected_end);
    if (expected_end >= 0) {
        EXPECT_EQ(run.steps.back().n, expected_end);
    }
    EXPECT_FALSE(run.tail_after_end);
}

}  // namespace

TEST(SimArgs, DefaultsAndEveryOption) {
    sim_options o;
    std::string error;
    const char* plain[] = {"chainball-sim", "level.txt"};
    ASSERT_TRUE(parse_sim_args(2, plain, o, error)) << error;
    EXPECT_EQ(std::vector<int>(o.lengths, o.lengths + 3), (std::vector<int>{7, 2, 5}));
    EXPECT_TRUE(!o.two_player && o.laps == 3 && o.steps == -1 && o.seed == 1 && o.keys_file.empty());
    EXPECT_EQ(o.level_file, "level.txt");
    EXPECT_EQ(o.off_road, OFF_ROAD_FREE);

    const char* all[] = {"chainball-sim", "--two-player", "--lengths", "10,0,3", "--laps", "5",
                         "--keys", "k.txt", "--steps", "123", "--seed=4294967295", "--off-road", "slow", "lv"};
    ASSERT_TRUE(parse_sim_args(14, all, o, error)) << error;
    EXPECT_EQ(o.off_road, OFF_ROAD_SLOWS);
    EXPECT_EQ(std::vector<int>(o.lengths, o.lengths + 3), (std::vector<int>{10, 0, 3}));
    EXPECT_TRUE(o.two_player && o.laps == 5 && o.steps == 123 && o.seed == 4294967295u);
    EXPECT_EQ(o.keys_file + " " + o.level_file, "k.txt lv");
}

TEST(SimArgs, BadOptionsExitWithStatusTwo) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--bogus", first_loop},
        {"--lengths", "0,1,1", first_loop},
        {"--lengths", "1,11,1", first_loop},
        {"--lengths", "1,2", first_loop},
        {"--lengths", "1,2,3,4", first_loop},
        {"--lengths", "1,-1,2", first_loop},
        {"--lengths", "1,x,2", first_loop},
        {"--laps", "0", first_loop},
        {"--laps", "two", first_loop},
        {"--steps", "-1", first_loop},
        {"--steps", "1e3", first_loop},
        {"--seed", "4294967296", first_loop},
        {"--off-road", "slows", first_loop},
        {"--keys"},
        {first_loop, "second.txt"},
        {"--two-player=yes", first_loop},
        {"missing-level-file.txt"},
        {"filut/levelit"},   // a folder
        {"--keys", "missing-script.txt", first_loop},
    };
    for (const auto& args : bad) {
        const sim_run r = sim(args);
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        EXPECT_EQ(r.status, 2) << joined;
        EXPECT_TRUE(r.out.empty()) << joined;
        EXPECT_EQ(r.err.rfind("chainball-sim: ", 0), 0u) << joined << ": " << r.err;
    }
    const sim_run help = sim({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: chainball-sim"), std::string::npos);
}

// Each file that cannot be used is named with its own cause, at once.
TEST(SimArgs, UnusableFilesAreNamedWithTheirCause) {
    alarm(20);   // a hang ends the process: a loud failure
    const std::string dir = scratch_dir();
    const std::string fifo = dir + "/fifo", zero = dir + "/zero", loop = dir + "/loop";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
    ASSERT_EQ(symlink(loop.c_str(), loop.c_str()), 0);
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{fifo}, "cannot open level file '"},
        {{fifo}, "': a FIFO, not a regular file\n"},
        {{zero}, "a character device, not a regular file"},
        {{dir}, "a directory, not a file"},
        {{loop}, "symbolic links"},
        {{dir + "/missing"}, "no such file"},
        {{"--keys", zero, first_loop}, "cannot read key script '"},
        {{"--keys", zero, first_loop}, "': a character device, not a regular file"},
        {{"--keys", fifo, first_loop}, "a FIFO, not a regular file"},
        {{"--keys", dir, first_loop}, "a directory, not a file"},
        {{"--keys", scratch_file(std::string("5 UP W\n2 L\0FT\n", 14)), first_loop},
         "line 2: unknown key 'L\\x00FT'"},
        {{"--keys", scratch_file("1 UP\n\x1b[2J DOWN\n"), first_loop},
         "line 2: expected a step count, got '\\x1b[2J'"},
    };
    for (const auto& c : cases) {
        const sim_run r = sim(c.args);
        EXPECT_EQ(r.status, 2) << c.args[0];
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.says << " in " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    alarm(0);
}

TEST(SimScript, LinesCommentsAndKeys) {
    std::vector<sim_segment> script;
    std::string error;
    ASSERT_TRUE(parse_key_script("# comment\n\n3 up Left\n  2\n1 RIGHT down w A s D\r\n0 UP\n"
                                 "   # indented comment\n",
                                 script, error))
        << error;
    ASSERT_EQ(script.size(), 4u);
    EXPECT_EQ(script[0].count, 3);
    EXPECT_EQ(script[0].keys, SIM_UP | SIM_LEFT);
    EXPECT_EQ(script[1].count, 2);
    EXPECT_EQ(script[1].keys, 0);
    EXPECT_EQ(script[2].keys, SIM_RIGHT | SIM_DOWN | SIM_W | SIM_A | SIM_S | SIM_D);
    EXPECT_EQ(script[3].count, 0);

    const char* bad[] = {"x UP\n", "3 UP JUMP\n", "-1 UP\n", "2.5 UP\n", "UP 3\n",
                         "99999999999999999999 UP\n", "9223372036854775807\n1\n"};
    for (const char* text : bad) {
        EXPECT_FALSE(parse_key_script(text, script, error)) << text;
        EXPECT_NE(error.find("line "), std::string::npos) << error;
    }
    ASSERT_FALSE(parse_key_script("1 UP\n\n# c\n4 SPACE\n", script, error));
    EXPECT_EQ(error.rfind("line 4:", 0), 0u) << error;

    // UP drives player 1 forward, D turns player 2 right, and back again.
    const RaceInput input = input_of_script_keys(SIM_UP | SIM_D);
    EXPECT_EQ(input.player[0], ACTION_FORWARD);
    EXPECT_EQ(input.player[1], ACTION_RIGHT);
    for (int bits = 0; bits < 256; bits++) EXPECT_EQ(script_keys_of_input(input_of_script_keys(bits)), bits);
}

TEST(SimScript, StepsFollowTheScriptOrTheOption) {
    const std::string keys = scratch_file("2 UP\n1\n");
    run_rec run = parse_records(sim({"--keys", keys, first_loop}).out);
    ASSERT_EQ(run.steps.size(), 4u);   // step 0 and three steps
    // Two steps forward, then coasting: player 1's speed -0.88, -1.584,
    // -1.2672.
    EXPECT_NEAR(run.steps[3].racers[0].speed, -1.2672, 1e-5);

    // --steps runs on with no key held: 0.8 a step until the dead zone.
    run = parse_records(sim({"--keys", keys, "--steps", "8", first_loop}).out);
    ASSERT_EQ(run.steps.size(), 9u);
    EXPECT_NEAR(run.steps[7].racers[0].speed, -1.2672 * 0.8 * 0.8 * 0.8 * 0.8, 1e-5);
    EXPECT_EQ(run.steps[8].racers[0].speed, 0.0);   // 0.415 falls in the dead zone
    run = parse_records(sim({"--keys", keys, "--steps", "1", first_loop}).out);
    ASSERT_EQ(run.steps.size(), 2u);
    run = parse_records(sim({first_loop}).out);
    ASSERT_EQ(run.steps.size(), 1u);
    EXPECT_EQ(run.end, -1);
}

// FirstLoop is the 12 x 12 circuit with the finish at (50, 300). The header
// follows from its route walk; the steps were worked out from the rules by
// a separate calculation, rounding to float wherever the rules store a
// float (the comments give the gist), not taken from this program.
TEST(SimRecords, ShortScriptOnFirstLoop) {
    const std::string keys = scratch_file("# three steps forward\n3 UP\n2 up left\n\n1 DOWN\n");
    const sim_run r = sim({"--lengths", "2,0,1", "--keys", keys, first_loop});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = lines_of(r.out);
    ASSERT_EQ(lines.size(), 1u + 32 + 2 + 7 * 3);
    EXPECT_EQ(lines[0], "track 12 23 50 300 32 2");
    EXPECT_EQ(lines[1], "waypoint 0 100 350");   // the finish cell's own
    EXPECT_EQ(lines[2], "waypoint 1 100 300");
    EXPECT_EQ(lines[7], "waypoint 6 150 100");   // round the top-left corner
    EXPECT_EQ(lines[32], "waypoint 31 100 400");
    EXPECT_EQ(lines[33], "checkpoint 0 450 200");
    EXPECT_EQ(lines[34], "checkpoint 1 150 450");

    const std::vector<std::string> expected = {
        // Heads at world (73, 335) and (127, 335), less 250; player 1's
        // second ball 27 below. Player 2 takes no part.
        "step 0 0",
        "racer 0 0 0 0 -177 85 0 -177 112 0",
        "racer 2 0 0 0 -123 85 0",
        // Up: speed -1.1, y 85 - 1.1 = 83.9 (83.9000015 as a float), then
        // 0.8 x -1.1 = -0.88. Ball 1 is 29 whole pixels away: heading 0,
        // one 2-pixel step. Player 3 heads for waypoint 0 (100, 350):
        // direction_to 299, aim 479, diff 119: turn left to 5; distance 30 reaches
        // it; speed -1.05 moves it by (sin 5, cos 5) x -1.05.
        "step 1 0",
        "racer 0 -0.880000055 0 0 -177 83.9000015 0 -177 110 0",
        "racer 2 -0.839999974 0 1 -123.091515 83.9539948 5",
        "step 2 0",
        "racer 0 -1.58399999 0 0 -177 81.9199982 0 -177 108 0",
        "racer 2 -1.51199996 0 2 -123.419708 82.0927048 10",
        // Step 2 reaches waypoint 1 (100, 300), 42 pixels away, after a
        // turn to 10. Waypoint 2 (100, 250) then lies 7 degrees to the
        // left (aim 377): inside the gate, so it holds 10.
        "step 3 0",
        "racer 0 -2.14720011 0 0 -177 79.2360001 0 -177 106 0",
        "racer 2 -2.04959989 0 2 -123.864594 79.5696259 10",
        // Left and up: heading 5. Ball 1 is 30 away at atan(0.283 / 30.0)
        // = 0.54 degrees, cut to 0: two steps up to 102.
        "step 4 0",
        "racer 0 -2.59775996 0 0 -177.283005 76.0011597 5 -177 102 0.540504158",
        "racer 2 -2.47967982 0 2 -124.402832 76.5171127 10",
        "step 5 0",
        "racer 0 -2.95820808 0 0 -177.92511 72.3595734 10 -177.069824 98.0006104 1.78768301",
        "racer 2 -2.82374382 0 2 -125.015755 73.0410538 10",
        // Down: -2.958 + 1.1 = -1.858 moves it, 0.8 of it stays.
        "step 6 0",
        "racer 0 -1.48656642 0 0 -178.247787 70.5295944 10 -177.139618 96.0018311 2.45535159",
        "racer 2 -3.09899497 0 2 -125.688423 69.2261581 10",
    };
    for (size_t i = 0; i < expected.size(); i++) EXPECT_EQ(lines[35 + i], expected[i]) << i;
}

TEST(SimRace, SoloOneLapEndsWhenPlayerOneCompletesIt) {
    const std::string keys = scratch_file(lap_script);
    const std::string loop = source_path("tests/data/sim/tracks/FirstLoop.txt");
    const sim_run r = sim({"--lengths", "1,0,0", "--laps", "1", "--keys", keys, loop.c_str()});
    ASSERT_EQ(r.status, 0) << r.err;
    const run_rec run = parse_records(r.out);
    ASSERT_GE(run.end, 0) << "the race did not end";
    EXPECT_LT(run.end, 272);   // inside the script's 272 steps
    const step_rec& last = run.steps.back();
    EXPECT_EQ(last.winner, 1);
    ASSERT_EQ(last.racers.size(), 1u);   // players 2 and 3 print nothing
    EXPECT_EQ(last.racers.at(0).laps, 1);
    check_race_rules(run, 1, {0}, 250);
}

TEST(SimRace, ComputersCompleteLapsAndTheRaceEnds) {
    const std::string keys = scratch_file(three_lap_script);
    const sim_run r =
        sim({"--lengths", "3,2,5", "--laps", "3", "--steps", "4000", "--keys", keys,
             source_path("tests/data/sim/tracks/FirstLoop.txt").c_str()});
    ASSERT_EQ(r.status, 0) << r.err;
    const run_rec run = parse_records(r.out);
    ASSERT_GE(run.end, 0) << "the race did not end";
    EXPECT_LT(run.end, 4000);
    const step_rec& last = run.steps.back();
    for (int rr = 0; rr < 3; rr++) EXPECT_GE(last.racers.at(rr).laps, 3) << rr;
    check_race_rules(run, 3, {0, 1, 2}, 250);
    // The computers walk the route one waypoint at a time, 32 of them.
    for (size_t i = 1; i < run.steps.size(); i++) {
        for (int rr : {1, 2}) {
            const int before = run.steps[i - 1].racers.at(rr).next;
            const int now = run.steps[i].racers.at(rr).next;
            EXPECT_TRUE(now == before || now == (before + 1) % 32) << rr << " step " << i;
            EXPECT_LE(std::abs(run.steps[i].racers.at(rr).speed), 4.2 + 1e-4);
        }
        EXPECT_EQ(run.steps[i].racers.at(0).next, 0);
    }

    // Two players: nobody drives player 2, so the race goes on while the
    // computer player 3 keeps counting laps beyond the race's number (player
    // 1's script was made for the road without player 2's chain on it).
    const sim_run two = sim({"--two-player", "--lengths", "3,2,5", "--laps", "2", "--steps",
                                "2500", "--keys", keys, first_loop});
    const run_rec run2 = parse_records(two.out);
    EXPECT_EQ(run2.end, -1);
    EXPECT_EQ(run2.steps.size(), 2501u);
    EXPECT_EQ(run2.steps.back().racers.at(1).laps, 0);
    EXPECT_GT(run2.steps.back().racers.at(2).laps, 2);
    check_race_rules(run2, 2, {0, 1, 2}, 200);
}

TEST(SimRace, BinaryRunsWithoutAWindow) {
    // The built executable beside the tests, with no display at all.
    const std::string keys = scratch_file("2 UP\n");
    const std::string cmd = "env -u DISPLAY SDL_VIDEODRIVER=none ./chainball-sim --steps 2 --keys " +
                            keys + " " + first_loop + " > /dev/null 2>&1";
    int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    status = std::system("./chainball-sim --laps 0 x.txt > /dev/null 2>&1");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
}
