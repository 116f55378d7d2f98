// SPDX-License-Identifier: GPL-3.0-or-later
// Computer drivers: aim, steering gate, turns, waypoints, speed.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "base/arith.h"
#include "draw/draw.h"
#include "test_race_support.h"

namespace {

// Player 3 alone at world (10000, 10000) with `heading`, driving at one
// waypoint 100000 pixels away whose direction_to is k (half a degree inside the
// whole degree, so the travel does not change it): target heading k + 180.
// Returns the stored headings after each of n steps.
std::vector<float> headings(float heading, int k, int n) {
    race_test_reset(499, 1, 0, 1);
    put_ball(2, 0, 10000, 10000);
    live_race.balls[0].heading[2] = heading;
    const double t = (k - 180 + (k > 180 ? 0.5 : -0.5)) / DEG;
    loaded_track.waypoint_count = 1;
    loaded_track.waypoints[0] = {(int)std::lround(10000 - 1e5 * std::sin(t)),
                          (int)std::lround(10000 - 1e5 * std::cos(t))};
    EXPECT_EQ(direction_to(10000, 10000, loaded_track.waypoints[0].x, loaded_track.waypoints[0].y), k);
    std::vector<float> h;
    for (int i = 0; i < n; i++) {
        step_racers(live_race, loaded_track, held_keys{});
        h.push_back(live_race.balls[0].heading[2]);
    }
    return h;
}

using hs = std::vector<float>;

}  // namespace

TEST(RaceDrivers, GateLooksOnlyToTheLeft) {
    // Target heading 100 (direction_to 280, aim 460).
    EXPECT_EQ(headings(92, 280, 3), (hs{92, 92, 92}));      // 8 left: straight on
    EXPECT_EQ(live_race.balls[0].aim[2], 460.0f);
    EXPECT_EQ(headings(108, 280, 4), (hs{103, 98, 98, 98}));  // 8 right: two turns, 2 left
    EXPECT_EQ(headings(90, 280, 2), (hs{90, 90}));          // 10 left: still inside
    EXPECT_EQ(headings(89, 280, 2), (hs{94, 94}));          // 11 left: one turn
    EXPECT_EQ(headings(200, 280, 3), (hs{195, 190, 185}));  // diff -100: right
    EXPECT_EQ(headings(280, 280, 2), (hs{280, 280}));       // diff -180: behind, no turn
    EXPECT_EQ(headings(120, 120, 2), (hs{120, 120}));       // diff +180 (target 300)
}

TEST(RaceDrivers, TurnsAcrossZeroAreStoredUnwrapped) {
    EXPECT_EQ(headings(0, 172, 3), (hs{-5, 350, 350}));      // target 352: diff 352
    EXPECT_EQ(headings(359, 200, 4), (hs{364, 9, 14, 14}));  // target 20: diff -339

    // Level with the waypoint's x: direction_to 180, aim 360 -- straight up, even
    // with the waypoint below.
    race_test_reset(499, 1, 0, 1);
    put_ball(2, 0, 1000, 1000);
    loaded_track.waypoint_count = 2;
    loaded_track.waypoints[0] = {1000, 1400};
    step_racers(live_race, loaded_track, held_keys{});
    EXPECT_EQ(live_race.balls[0].aim[2], 360.0f);
    EXPECT_LT(world_y(2, 0), 1000.0f);
}

TEST(RaceDrivers, WaypointsReachedWithinFortyNineAndWrapped) {
    struct reach {
        int dx, dy;
        bool reached;
    } cases[] = {{0, 49, true}, {0, 50, false}, {-49, 0, true}, {29, 39, true}, {30, 40, false}};
    for (const reach& c : cases) {
        race_test_reset(499, 1, 0, 1);
        put_ball(2, 0, 1000, 1000);
        loaded_track.waypoint_count = 4;
        loaded_track.waypoints[0] = {1000 + c.dx, 1000 + c.dy};
        step_racers(live_race, loaded_track, held_keys{});
        EXPECT_EQ(live_race.racers[2].next_waypoint, c.reached) << c.dx << "," << c.dy;
    }
    // The aim still points at the waypoint just passed: direction_to(1000, 1000,
    // 1030, 1040) = -143 + 180.
    EXPECT_EQ(live_race.balls[0].aim[2], 37.0f + 180);

    // The last waypoint leads back to the first; the two drivers share the
    // list but keep their own places in it.
    race_test_reset(499, 1, 2, 3);
    put_ball(1, 0, 1000, 1000);
    put_ball(2, 0, 5000, 5000);
    loaded_track.waypoint_count = 3;
    loaded_track.waypoints[2] = {1000, 1010};
    live_race.racers[1].next_waypoint = live_race.racers[2].next_waypoint = 2;
    step_racers(live_race, loaded_track, held_keys{});
    EXPECT_EQ(live_race.racers[1].next_waypoint, 0);
    EXPECT_EQ(live_race.racers[2].next_waypoint, 2);

    // No waypoints: entry 0, the filler (5000, 5000), until the head is
    // pinned in the grid's corner, still at full speed.
    race_test_reset(10, 1, 0, 1);
    for (int i = 0; i < 300; i++) step_racers(live_race, loaded_track, held_keys{});
    EXPECT_EQ(live_race.racers[2].next_waypoint, 0);
    EXPECT_EQ(world_x(2, 0), 500.0f);
    EXPECT_EQ(world_y(2, 0), 500.0f);
    EXPECT_EQ(live_race.balls[0].aim[2], 225.0f);
    EXPECT_NEAR(live_race.racers[2].speed, -4.2, 1e-3);
}

TEST(RaceDrivers, TravelApproachesFiveTimesTheirAcceleration) {
    for (bool after_two_player : {false, true}) {
        race_test_reset(499, 1, 1, 1);
        if (after_two_player) live_race.computer_acceleration[1] = live_race.acceleration;
        put_ball(1, 0, 5000, 20000);
        put_ball(2, 0, 6000, 20000);
        loaded_track.waypoint_count = 1;
        loaded_track.waypoints[0] = {5000, -100000};   // straight up for player 2
        float t1 = 0, t2 = 0;
        for (int i = 0; i < 100; i++) {
            const float x1 = live_race.balls[0].x[1], y1 = live_race.balls[0].y[1];
            const float x2 = live_race.balls[0].x[2], y2 = live_race.balls[0].y[2];
            step_racers(live_race, loaded_track, held_keys{SDLK_a, SDLK_w});   // keys never steer a computer
            t1 = (float)std::hypot(live_race.balls[0].x[1] - x1, live_race.balls[0].y[1] - y1);
            t2 = (float)std::hypot(live_race.balls[0].x[2] - x2, live_race.balls[0].y[2] - y2);
        }
        EXPECT_EQ(live_race.balls[0].heading[1], 0.0f);
        EXPECT_NEAR(t1, after_two_player ? 5.5 : 4.5, 2e-3);
        EXPECT_NEAR(t2, 5.25, 2e-3);
    }
}
