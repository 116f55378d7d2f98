// SPDX-License-Identifier: GPL-3.0-or-later
// Level catalogue, level files, the route walk and the load of screen state 5.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "base/clock.h"
#include "core/state.h"
#include "harness.h"
#include "io/assets.h"
#include "io/media.h"
#include "race/race.h"
#include "shell/shell.h"
#include "track/track.h"
#include "view/tiles.h"
#include "view/view.h"

namespace {

// A clockwise circuit: up the left road from the finish at column 1, row 6.
const char* const worked_rows[12] = {
    "............", ".11======22.", ".11######22.", ".T#......T#.", ".T#......T#.", ".T#......T#.",
    ".M#......T#.", ".T#......T#.", ".T#......T#.", ".44======33.", ".44######33.", "............",
};

std::string worked_example() {
    std::string s = "0012\n";
    for (const char* row : worked_rows) s += std::string(row) + "\n";
    return s;
}

void load_text(const std::string& content) { load_level_file(loaded_track, scratch_file(content).c_str(), setup_random); }

struct point {
    int index, x, y;
};

void expect_waypoints(std::initializer_list<point> expected) {
    for (const point& p : expected) {
        EXPECT_EQ(loaded_track.waypoints[p.index].x, p.x) << "waypoint " << p.index;
        EXPECT_EQ(loaded_track.waypoints[p.index].y, p.y) << "waypoint " << p.index;
    }
}

void expect_checkpoints(std::initializer_list<point> expected) {
    for (const point& p : expected) {
        const checkpoint& k = loaded_track.checkpoints[p.index];
        EXPECT_TRUE(k.x == p.x && k.y == p.y) << "checkpoint " << p.index;
    }
}

// Every test leaves the shared track, catalogue and settings as it found them.
class TrackFixture : public ::testing::Test {
protected:
    std::unique_ptr<Track> saved_track{new Track(loaded_track)};
    std::unique_ptr<char[]> saved_names{new char[sizeof level_names]};
    int saved_last = last_level_index;
    RaceSettings saved_settings = race_settings;
    void SetUp() override { std::memcpy(saved_names.get(), level_names, sizeof level_names); }
    void TearDown() override {
        loaded_track = *saved_track;
        std::memcpy(level_names, saved_names.get(), sizeof level_names);
        last_level_index = saved_last;
        race_settings = saved_settings;
    }
};

class TrackLoader : public TrackFixture {};
class TrackCatalogue : public TrackFixture {};

}   // namespace

TEST_F(TrackLoader, WorkedExampleWalksClockwiseOnce) {
    load_text(worked_example());
    EXPECT_EQ(loaded_track.size, 12);
    EXPECT_EQ(loaded_track.straight_count, 23);
    EXPECT_EQ(loaded_track.finish_x, 50);
    EXPECT_EQ(loaded_track.finish_y, 300);
    EXPECT_EQ(loaded_track.tiles[1][1], TILE_CORNER_1);
    EXPECT_EQ(loaded_track.tiles[10][10], TILE_CORNER_1 + 2);
    EXPECT_EQ(loaded_track.tiles[3][2], TILE_BLANK);
    EXPECT_EQ(loaded_track.tiles[12][12], TILE_GROUND);   // the zeroed border
    // Up the left road, right along the top, down, left along the bottom and
    // up again to the straight just below the finish; each turn happens on a
    // corner block's top-left cell.
    ASSERT_EQ(loaded_track.waypoint_count, 32);
    expect_waypoints({{0, 100, 350}, {5, 100, 100}, {13, 500, 100}, {21, 500, 500}, {29, 100, 500},
                      {31, 100, 400}, {32, 5000, 5000}});
    // The 11th straight is on the right road, the 21st on the bottom road.
    ASSERT_EQ(loaded_track.checkpoint_count, 2);
    expect_checkpoints({{0, 450, 200}, {1, 150, 450}, {2, 0, 0}});
}

TEST_F(TrackLoader, MirroredCircuitTakesTheOtherFourTurns) {
    std::string text = worked_example();
    text[5 + 6 * 13 + 1] = 'T';   // the finish moves to the right road
    text[5 + 6 * 13 + 9] = 'M';
    load_text(text);
    EXPECT_EQ(loaded_track.straight_count, 23);
    ASSERT_EQ(loaded_track.waypoint_count, 32);
    // Turns: '2' up to left, '1' left to down, '4' down to right, '3' right to up.
    expect_waypoints({{0, 500, 350}, {5, 500, 100}, {13, 100, 100}, {21, 100, 500}, {29, 500, 500},
                      {31, 500, 400}});
    ASSERT_EQ(loaded_track.checkpoint_count, 2);
    expect_checkpoints({{0, 50, 200}, {1, 400, 450}});
}

TEST_F(TrackLoader, SizeFieldIsFourCharactersReadLikeAtoi) {
    load_text("00\n\n  4\t0\n");
    EXPECT_EQ(loaded_track.size, 40);
    // 'a' and 'b' belong to the field, so 'M' is the second grid character.
    loaded_track.finish_x = loaded_track.finish_y = 999;
    load_text("12ab.M");
    EXPECT_EQ(loaded_track.size, 12);
    EXPECT_EQ(loaded_track.finish_x, 50);
    EXPECT_EQ(loaded_track.finish_y, 0);
    load_text("30##M");
    EXPECT_EQ(loaded_track.size, 30);
    EXPECT_EQ(loaded_track.tiles[0][0], TILE_FINISH);
    load_text("+007");
    EXPECT_EQ(loaded_track.size, 7);
    load_text("ab12TTTT");
    EXPECT_EQ(loaded_track.size, 0);
    load_text("");
    EXPECT_EQ(loaded_track.size, 0);
    EXPECT_EQ(loaded_track.straight_count, 0);
    load_level_file(loaded_track, "/nonexistent/level.txt", setup_random);
    EXPECT_EQ(loaded_track.size, 0);
    EXPECT_EQ(loaded_track.waypoint_count, 0);
}

TEST_F(TrackLoader, CharactersWithoutMeaningTakeACellAndStayGround) {
    for (int x = 0; x < 6; x++)
        for (int y = 0; y < 6; y++) loaded_track.tiles[x][y] = 77;
    load_text("0004 05Xm t9@/ ~M.T");
    for (int x = 0; x <= 4; x++)
        for (int y = 0; y <= 4; y++) {
            int expected = (x == 1 && y == 2)   ? TILE_FINISH
                           : (x == 3 && y == 2) ? TILE_V_STRAIGHT
                                                : 0;
            EXPECT_EQ(loaded_track.tiles[x][y], expected) << x << "," << y;
        }
    EXPECT_EQ(loaded_track.tiles[5][5], 77);   // outside the cleared square
    EXPECT_EQ(loaded_track.finish_x, 50);
    EXPECT_EQ(loaded_track.finish_y, 100);
    EXPECT_EQ(loaded_track.straight_count, 1);   // 't' is not 'T'
}

TEST_F(TrackLoader, FinishIsTheLaterMOrTheOneTheWalkPassesOrThePrevious) {
    std::string text = worked_example();
    text[5 + 4 * 13 + 1] = 'M';   // row 4, column 1, above the finish
    load_text(text);
    EXPECT_EQ(loaded_track.straight_count, 22);
    expect_waypoints({{0, 100, 350}});   // the walk starts from the later 'M'
    EXPECT_EQ(loaded_track.finish_x, 50);
    EXPECT_EQ(loaded_track.finish_y, 200);
    // Without any 'M' the walk starts from the previous finish.
    text = worked_example();
    text[5 + 6 * 13 + 1] = 'T';
    loaded_track.finish_y = 300;
    load_text(text);
    EXPECT_EQ(loaded_track.finish_x, 50);
    EXPECT_EQ(loaded_track.finish_y, 300);
    EXPECT_EQ(loaded_track.straight_count, 24);
    expect_waypoints({{0, 100, 350}, {31, 100, 400}});
}

TEST_F(TrackLoader, NoStraightsLeavesEmptyLists) {
    load_text(worked_example());
    load_text("0003 11. 11M ...");
    EXPECT_EQ(loaded_track.straight_count, 0);
    EXPECT_EQ(loaded_track.waypoint_count, 0);
    EXPECT_EQ(loaded_track.checkpoint_count, 0);
    for (int i = 0; i < MAX_WAYPOINTS; i++)
        ASSERT_EQ(loaded_track.waypoints[i].x + loaded_track.waypoints[i].y, 10000);
    for (int i = 0; i < MAX_CHECKPOINTS; i++)
        ASSERT_EQ(loaded_track.checkpoints[i].x | loaded_track.checkpoints[i].y, 0);
}

TEST_F(TrackLoader, OnlyAFullCornerBlockTurnsTheWalk) {
    // A lone '1' is passed straight through.
    load_text("0006 ...... .T#... .1#... .T#... .M#... ......");
    ASSERT_EQ(loaded_track.waypoint_count, 4);
    expect_waypoints({{3, 100, 100}});
    // With its diagonal neighbour it turns right; the walker runs off the
    // right edge, comes back in at column 0 one row down, and meets the
    // lower straight again.
    load_text("0006 ...... .T#... .1#... .T1... .M#... ......");
    ASSERT_EQ(loaded_track.waypoint_count, 4);
    expect_waypoints({{3, 100, 200}});
}

TEST_F(TrackLoader, SlowingVariantsFollowTheDraws) {
    std::string text = "0030";
    text.append(900, 'x');
    srand(4242);
    int expected[900];
    int seen[6] = {};
    for (int& v : expected) {
        v = rand() % 3 + 1;
        if (rand() % 3 == 0) v = rand() % 5 + 1;
    }
    setup_random = make_random(4242);   // the same numbers as the C library's
    load_text(text);
    for (int k = 0; k < 900; k++) {
        int v = loaded_track.tiles[k % 30][k / 30];
        ASSERT_EQ(v, expected[k]) << "cell " << k;
        seen[v]++;
    }
    for (int v = 1; v <= 5; v++) EXPECT_GT(seen[v], 0) << "variant " << v;
}

TEST_F(TrackLoader, SizeOutsideTheGridLoadsEmptyAndSaysWhy) {
    // A short file repeats its last character through the field.
    const char* bad[] = {"9999M", "-005M", "7", "12", "-1"};
    for (const char* content : bad) {
        loaded_track.finish_x = 150;
        loaded_track.finish_y = 250;
        std::string path = scratch_file(content);
        testing::internal::CaptureStderr();
        load_level_file(loaded_track, path.c_str(), setup_random);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(loaded_track.size, 0) << content;
        EXPECT_EQ(loaded_track.straight_count, 0) << content;
        EXPECT_EQ(loaded_track.finish_x, 150) << content;   // the grid was not read
        EXPECT_NE(err.find(path), std::string::npos) << err;
        EXPECT_NE(err.find("outside"), std::string::npos) << err;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    }
    // "001" reads as 0011: within range, so an 11-cell empty grid.
    testing::internal::CaptureStderr();
    load_text("001");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(loaded_track.size, 11);
}

TEST_F(TrackLoader, GridRunsOnBelowTheSquareUntilTheArrayEnds) {
    load_text("0002 .... T# M");
    EXPECT_EQ(loaded_track.tiles[0][2], TILE_V_STRAIGHT);
    EXPECT_EQ(loaded_track.tiles[1][2], TILE_BLANK);
    EXPECT_EQ(loaded_track.finish_y, 150);
    EXPECT_EQ(loaded_track.straight_count, 1);
    EXPECT_EQ(loaded_track.waypoint_count, 1);   // the finish; the walk is bounded

    // A full 499 grid, the border row, then characters past the last row.
    loaded_track.finish_x = loaded_track.finish_y = 0;
    std::string text = "0499";
    text.append(499 * 499, '.');
    text.append(499, '#');
    text.append(2000, 'M');
    load_text(text);
    EXPECT_EQ(loaded_track.size, 499);
    EXPECT_EQ(loaded_track.tiles[498][499], TILE_BLANK);
    EXPECT_EQ(loaded_track.tiles[1][0], TILE_GROUND);
    EXPECT_EQ(loaded_track.finish_x, 0);
    EXPECT_EQ(loaded_track.finish_y, 0);
}

TEST_F(TrackLoader, WalkListsStopAtCapacity) {
    // The circuit in the top-left corner, and thousands of straights off the
    // road: the walker circles until its step bound.
    std::string text = "0060";
    for (const char* row : worked_rows) text += std::string(row) + std::string(48, '.');
    text.append(48 * 60, '=');
    load_text(text);
    EXPECT_EQ(loaded_track.straight_count, 23 + 48 * 60);
    EXPECT_EQ(loaded_track.waypoint_count, MAX_WAYPOINTS);
    EXPECT_EQ(loaded_track.checkpoint_count, MAX_CHECKPOINTS);
    expect_waypoints({{32, 100, 350}});   // the second lap repeats the first
    const checkpoint& last = loaded_track.checkpoints[MAX_CHECKPOINTS - 1];
    int t = loaded_track.tiles[last.x / 50][last.y / 50];
    EXPECT_TRUE(t == TILE_H_STRAIGHT || t == TILE_V_STRAIGHT);
    EXPECT_LT(last.y, 600);
}

TEST_F(TrackCatalogue, NamesAreClosedByHashWhitespaceDropped) {
    const char* same[] = {"a#\nbb#\nccc#\n", "a#bb#ccc#", " a #\r\n b\tb #c c c#"};
    for (const char* content : same) {
        read_catalogue(scratch_file(content).c_str());
        EXPECT_EQ(last_level_index, 2) << content;
        EXPECT_STREQ(level_names[0], "a");
        EXPECT_STREQ(level_names[1], "bb");
        EXPECT_STREQ(level_names[2], "ccc");
        EXPECT_STREQ(level_names[3], "");
    }
    read_catalogue(scratch_file("my level#x##odd.name#tail").c_str());
    EXPECT_EQ(last_level_index, 3);
    EXPECT_STREQ(level_names[0], "mylevel");
    EXPECT_STREQ(level_names[2], "");
    EXPECT_STREQ(level_names[3], "odd.name");
    EXPECT_STREQ(level_names[4], "tail");   // beyond last_level_index
    read_catalogue(scratch_file("only#").c_str());
    EXPECT_EQ(last_level_index, 0);
    EXPECT_STREQ(level_names[1], "");   // the earlier read is gone
}

TEST_F(TrackCatalogue, NoHashOrNoFileGivesMinusOne) {
    read_catalogue(scratch_file("lonely").c_str());
    EXPECT_EQ(last_level_index, -1);
    race_settings.level_index = 0;
    EXPECT_STREQ(chosen_level_name(), "lonely");
    race_settings.level_index = -1;
    EXPECT_STREQ(chosen_level_name(), "");
    read_catalogue("/nonexistent/all_levels.txt");
    EXPECT_EQ(last_level_index, -1);
    EXPECT_STREQ(level_names[0], "");
}

TEST_F(TrackCatalogue, LongNamesAreCutAndExtraNamesDropped) {
    std::string text = std::string(60, 'L') + "#b#";
    for (int i = 2; i < 600; i++) text += "n" + std::to_string(i) + "#";
    text += "after";
    read_catalogue(scratch_file(text).c_str());
    EXPECT_EQ(std::string(level_names[0]), std::string(LEVEL_NAME_LEN - 1, 'L'));
    EXPECT_STREQ(level_names[1], "b");
    EXPECT_EQ(last_level_index, MAX_LEVELS - 1);
    race_settings.level_index = MAX_LEVELS - 1;
    EXPECT_STREQ(chosen_level_name(), "n499");
    race_settings.level_index = MAX_LEVELS;
    EXPECT_STREQ(chosen_level_name(), "");
    EXPECT_NE(chosen_level_name(), level_names[0] + MAX_LEVELS * LEVEL_NAME_LEN);
}

namespace {

// The load of screen state 5 needs the window.
class TrackLoadLevel : public TrackFixture {
protected:
    float saved_acceleration = live_race.computer_acceleration[1];
    void SetUp() override {
        TrackFixture::SetUp();
        start_game_headless();
    }
    void TearDown() override {
        live_race.computer_acceleration[1] = saved_acceleration;
        two_players = false;
        live_race.view_width = 500;
        set_video_mode(500, 500);
        game_screen = SCREEN_MENU;
        TrackFixture::TearDown();
    }
};

}   // namespace

TEST_F(TrackLoadLevel, LoadsTheChosenLevelWithA49CharacterName) {
    // Kept out of the level folder, which other tests list.
    std::string name = "../../track-test-" + std::to_string(getpid()) + "-";
    name.resize(LEVEL_NAME_LEN - 1, 'q');
    std::string path = "filut/levelit/" + name + ".txt";
    FILE* f = fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fputs(worked_example().c_str(), f);
    fclose(f);
    std::strcpy(level_names[3], name.c_str());
    race_settings.level_index = 3;
    live_race.racers[1].next_waypoint = live_race.racers[2].next_waypoint = 7;
    clock_set(123456);
    load_level();
    unlink(path.c_str());
    EXPECT_EQ(loaded_track.size, 12);
    EXPECT_EQ(loaded_track.waypoint_count, 32);
    EXPECT_EQ(race_start_ticks, 123456u);
    EXPECT_EQ(live_race.racers[1].next_waypoint, 0);   // the drivers start from the first waypoint
    EXPECT_EQ(live_race.racers[2].next_waypoint, 0);
    EXPECT_EQ(game_screen, SCREEN_RACE);
    EXPECT_EQ(screen->w, 500);
    EXPECT_EQ(live_race.view_width, 500);
    EXPECT_FLOAT_EQ(live_race.computer_acceleration[1], 0.9f);
}

TEST_F(TrackLoadLevel, TwoPlayersWidenTheWindowAndSpeedUpPlayerTwo) {
    race_settings.level_index = -1;   // names no entry: a missing level
    two_players = true;
    load_level();
    EXPECT_EQ(screen->w, 800);
    EXPECT_EQ(screen->h, 500);
    EXPECT_EQ(live_race.view_width, 400);
    EXPECT_EQ(loaded_track.size, 0);
    EXPECT_EQ(game_screen, SCREEN_RACE);
    EXPECT_FLOAT_EQ(live_race.computer_acceleration[1], live_race.acceleration);
    two_players = false;
    load_level();   // nothing sets it back
    EXPECT_EQ(screen->w, 500);
    EXPECT_FLOAT_EQ(live_race.computer_acceleration[1], live_race.acceleration);
}

TEST_F(TrackLoadLevel, EveryShippedLevelIsAClosedCircuit) {
    read_catalogue("filut/levelit/all_levels.txt");
    std::set<std::string> listed;
    for (int i = 0; i <= last_level_index; i++) listed.insert(level_names[i]);
    EXPECT_GE(last_level_index + 1, 8);
    // Every level file in the folder is in the catalogue.
    DIR* dir = opendir("filut/levelit");
    ASSERT_NE(dir, nullptr);
    while (dirent* e = readdir(dir)) {
        std::string file = e->d_name;
        if (file.size() < 5 || file.compare(file.size() - 4, 4, ".txt") != 0 ||
            file == "all_levels.txt")
            continue;
        EXPECT_TRUE(listed.count(file.substr(0, file.size() - 4))) << file << " is not listed";
    }
    closedir(dir);

    for (const std::string& name : listed) {
        SCOPED_TRACE(name);
        load_level_file(loaded_track, ("filut/levelit/" + name + ".txt").c_str(), setup_random);
        ASSERT_GE(loaded_track.size, 1);
        ASSERT_GE(loaded_track.checkpoint_count, 1);
        // Each straight, the finish and the corners on the walker's line is
        // passed exactly once, and the walk ends next to the finish.
        std::set<std::pair<int, int>> passed, straights;
        for (int i = 0; i < loaded_track.waypoint_count; i++)
            EXPECT_TRUE(
                passed.insert({loaded_track.waypoints[i].x / 50 - 1, loaded_track.waypoints[i].y / 50 - 1})
                    .second)
                << "cell passed twice: waypoint " << i;
        for (int x = 0; x < loaded_track.size; x++)
            for (int y = 0; y < loaded_track.size; y++)
                if (loaded_track.tiles[x][y] == TILE_H_STRAIGHT || loaded_track.tiles[x][y] == TILE_V_STRAIGHT)
                    straights.insert({x, y});
        for (const auto& cell : straights) EXPECT_TRUE(passed.count(cell)) << "straight not passed";
        int fx = loaded_track.finish_x / 50, fy = loaded_track.finish_y / 50;
        EXPECT_EQ(loaded_track.tiles[fx][fy], TILE_FINISH);
        EXPECT_EQ(loaded_track.waypoints[0].x / 50 - 1, fx);
        EXPECT_EQ(loaded_track.waypoints[0].y / 50 - 1, fy);
        const waypoint& end = loaded_track.waypoints[loaded_track.waypoint_count - 1];
        EXPECT_LE(std::abs(end.x / 50 - 1 - fx), 2);
        EXPECT_LE(std::abs(end.y / 50 - 1 - fy), 2);
    }
}
