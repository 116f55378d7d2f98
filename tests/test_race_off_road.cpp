// SPDX-License-Identifier: GPL-3.0-or-later
// Driving off the road: the top speed on plain ground, the easing on the
// way onto it and off it, and which cells count as road.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "test_race_support.h"

namespace {

// Racer 0 alone, heading up the grid at full throttle from near its bottom
// edge (y 990, x 525); returns its speed after each step.
std::vector<float> drive_up(int rule, int steps) {
    live_race.off_road = rule;
    put_ball(0, 0, 525, 990);
    live_race.racers[0].speed = 0.0f;
    std::vector<float> speeds;
    for (int i = 0; i < steps; i++) {
        race_step(live_race, loaded_track, held_keys{SDLK_UP});
        speeds.push_back(live_race.racers[0].speed);
    }
    return speeds;
}

void road_rows(int from, int to) {
    for (int i = 0; i < loaded_track.size; i++)
        for (int j = from; j <= to; j++) loaded_track.tiles[i][j] = TILE_V_STRAIGHT;
}

}  // namespace

TEST(RaceOffRoad, GrassHoldsTheTopSpeedDownOnlyUnderSlows) {
    race_test_reset(20, 1);   // all ground
    const std::vector<float> slows = drive_up(OFF_ROAD_SLOWS, 60);
    for (float s : slows) EXPECT_LE(-s, off_road_top_speed);
    EXPECT_EQ(slows.back(), -off_road_top_speed);

    race_test_reset(20, 1);
    const std::vector<float> free = drive_up(OFF_ROAD_FREE, 60);
    EXPECT_NEAR(free.back(), -road_top_speed, 1e-3);

    // A slowing cell under the head still takes its factor after the pull.
    race_test_reset(20, 1);
    live_race.off_road = OFF_ROAD_SLOWS;
    loaded_track.tiles[10][10] = 1;
    put_ball(0, 0, 525, 525);
    live_race.racers[0].speed = -4.0f;
    pull_off_road(live_race, loaded_track);
    EXPECT_EQ(live_race.racers[0].speed, -4.0f);   // a slowing cell is not plain ground
    put_ball(0, 0, 525, 575);
    pull_off_road(live_race, loaded_track);
    EXPECT_EQ(live_race.racers[0].speed, -4.0f + off_road_pull);
    live_race.racers[0].speed = 3.0f;   // backwards too
    pull_off_road(live_race, loaded_track);
    EXPECT_EQ(live_race.racers[0].speed, off_road_top_speed);
}

TEST(RaceOffRoad, RoadToGrassAndBackChangesSpeedSmoothly) {
    race_test_reset(20, 1);
    road_rows(12, 19);   // road, then grass in rows 5..11, then road again
    road_rows(0, 4);
    const std::vector<float> free = drive_up(OFF_ROAD_FREE, 200);
    race_test_reset(20, 1);
    road_rows(12, 19);
    road_rows(0, 4);
    const std::vector<float> slows = drive_up(OFF_ROAD_SLOWS, 200);

    bool eased = false, recovered = false;
    for (size_t i = 1; i < slows.size(); i++) {
        const float before = -slows[i - 1], now = -slows[i];
        // Under full throttle the rule alone slows a racer: never faster
        // than the pull, and it speeds up again no faster than on the road.
        EXPECT_GE(now, before - off_road_pull - 1e-5f) << "step " << i;
        EXPECT_LE(now - before, -free[1] - -free[0] + 1e-5f) << "step " << i;
        if (before > now && now > off_road_top_speed) eased = true;
        if (before == off_road_top_speed && now > before) recovered = true;
    }
    EXPECT_TRUE(eased);
    EXPECT_TRUE(recovered);
    EXPECT_NEAR(-slows.back(), road_top_speed, 1e-3);   // back on the road
    EXPECT_NE(free, slows);
}

TEST(RaceOffRoad, LanesDrawnAsRoadAreRoad) {
    race_test_reset(20, 1);
    put_ball(0, 0, 125, 125);
    EXPECT_TRUE(on_plain_ground(live_race, loaded_track, 0));
    loaded_track.wide_road[2][2] = WIDE_WRITTEN;   // a '+' that widens nothing stays grass
    EXPECT_TRUE(on_plain_ground(live_race, loaded_track, 0));
    loaded_track.wide_road[2][2] = WIDE_WRITTEN | WIDE_LANE;
    EXPECT_FALSE(on_plain_ground(live_race, loaded_track, 0));
    for (int tile : {(int)TILE_H_STRAIGHT, (int)TILE_CORNER_1, (int)TILE_FINISH, (int)TILE_BLANK, 3}) {
        loaded_track.wide_road[2][2] = 0;
        loaded_track.tiles[2][2] = tile;
        EXPECT_FALSE(on_plain_ground(live_race, loaded_track, 0)) << tile;
    }
    // The far edge of the grid, where the clamp holds a head, is its last cell.
    put_ball(0, 0, 1000, 1000);
    EXPECT_TRUE(on_plain_ground(live_race, loaded_track, 0));
    loaded_track.tiles[19][19] = TILE_H_STRAIGHT;
    EXPECT_FALSE(on_plain_ground(live_race, loaded_track, 0));
}
