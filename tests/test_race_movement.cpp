// SPDX-License-Identifier: GPL-3.0-or-later
// Racers: placement, human driving, friction, dead zone, cameras, clamp.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "test_race_support.h"

static void steps(int n, RaceInput keys) {
    for (int i = 0; i < n; i++) step_racers(live_race, loaded_track, keys);
}

TEST(RacePlacement, ChainsHangBelowTheFinishCell) {
    race_test_reset(20, 7, 0, 5);
    live_race.balls[0].x[1] = 42.0f;   // length 0: not placed
    live_race.racers[2].speed = -3.0f;
    srand(99);
    int sprite[12];
    for (int i = 0; i < 12; i++) sprite[i] = (rand() % 4000) / 1000;   // one draw per ball
    setup_random = make_random(99);   // the same numbers as the C library's
    place_racers(live_race, loaded_track, setup_random);
    // Finish cell (200, 500): heads 23 and 77 right of it, 35 below, 27 apart.
    EXPECT_EQ(live_race.balls[0].x[0], 223.0f - 250);
    EXPECT_EQ(live_race.balls[0].y[0], 535.0f - 250);
    EXPECT_EQ(world_x(0, 6), 223.0f);
    EXPECT_EQ(world_y(0, 6), 697.0f);
    EXPECT_EQ(world_x(2, 4), 277.0f);
    EXPECT_EQ(world_y(2, 4), 535.0f + 4 * 27);
    EXPECT_EQ(live_race.balls[6].sprite[0], (float)sprite[6]);
    EXPECT_EQ(live_race.balls[4].sprite[2], (float)sprite[11]);
    EXPECT_EQ(live_race.balls[0].x[1], 42.0f);
    EXPECT_EQ(live_race.racers[2].speed, -3.0f);   // speeds carry over

    race_test_reset(20, 1, 0, 1, true);
    place_racers(live_race, loaded_track, setup_random);
    EXPECT_EQ(live_race.balls[0].x[0], 223.0f - 200);
    EXPECT_EQ(live_race.balls[0].x[2], 277.0f - 200);
}

TEST(RaceMovement, HeldKeyTravelApproachesFiveAndAHalf) {
    for (SDLKey key : {SDLK_UP, SDLK_DOWN}) {
        race_test_reset(499);
        put_ball(0, 0, 2000, 2000);
        const float sign = key == SDLK_UP ? -1.0f : 1.0f;
        float speed = 0, travel = 0;
        for (int i = 0; i < 80; i++) {
            const float y0 = live_race.balls[0].y[0];
            step_racers(live_race, loaded_track, held_keys{key});
            // Key first, then the move, then friction on what is left.
            const float moved = speed + sign * 1.1f;
            speed = moved * 0.8f;
            travel = sign * (live_race.balls[0].y[0] - y0);
            EXPECT_NEAR(travel, std::fabs(moved), 2e-4) << i;
            EXPECT_EQ(live_race.racers[0].speed, speed) << i;
        }
        EXPECT_NEAR(travel, 5.5, 1e-3);
        EXPECT_NEAR(live_race.racers[0].speed, sign * 4.4, 1e-4);
        EXPECT_EQ(live_race.balls[0].x[0], 1750.0f);
    }
}

TEST(RaceMovement, DeadZoneCutsOnlyPlayerOne) {
    race_test_reset(499);
    live_race.racers[0].speed = -1.0f;
    const float expected[] = {-0.8f, -0.64f, -0.512f, 0.0f};   // 0.4096 is cut
    for (float e : expected) {
        step_racers(live_race, loaded_track, held_keys{});
        EXPECT_FLOAT_EQ(live_race.racers[0].speed, e);
    }
    live_race.racers[0].speed = 0.6f;   // 0.48
    step_racers(live_race, loaded_track, held_keys{});
    EXPECT_EQ(live_race.racers[0].speed, 0.0f);

    race_test_reset(499, 1, 1, 0, true);   // a human player 2 only decays
    put_ball(1, 0, 2000, 2000);
    live_race.racers[1].speed = -1.0f;
    steps(64, held_keys{});
    EXPECT_NEAR(live_race.racers[1].speed / -std::pow(0.8, 64), 1.0, 1e-5);
}

TEST(RaceMovement, OppositeKeysAndTurnsWrap) {
    race_test_reset(499);
    put_ball(0, 0, 1000, 1000);
    live_race.balls[0].heading[0] = 40;
    step_racers(live_race, loaded_track, held_keys{SDLK_LEFT, SDLK_RIGHT, SDLK_UP, SDLK_DOWN});
    EXPECT_EQ(live_race.balls[0].heading[0], 40.0f);
    EXPECT_EQ(live_race.racers[0].speed, 0.0f);
    EXPECT_EQ(world_y(0, 0), 1000.0f);

    // From 0.1 the two float changes do not cancel: both ran, in turn.
    race_test_reset(499, 1, 1, 0, true);
    live_race.racers[1].speed = 0.1f;
    const float both = (0.1f - 1.1f) + 1.1f;
    ASSERT_NE(both, 0.1f);
    step_racers(live_race, loaded_track, held_keys{SDLK_w, SDLK_s, SDLK_a, SDLK_d});
    EXPECT_EQ(live_race.racers[1].speed, both * 0.8f);

    struct turn {
        float from;
        SDLKey key;
        float to;
    } turns[] = {{0, SDLK_LEFT, 5}, {0, SDLK_RIGHT, 355}, {355, SDLK_LEFT, 0}, {5, SDLK_RIGHT, 0}};
    for (const turn& t : turns) {
        live_race.balls[0].heading[0] = t.from;
        step_racers(live_race, loaded_track, held_keys{t.key});
        EXPECT_EQ(live_race.balls[0].heading[0], t.to) << t.from;
    }
}

TEST(RaceMovement, HeadsPinnedAtGridEdgesKeepTheirSpeed) {
    // Forward speed is negative: heading 90 drives left, 270 right, 180 down.
    struct edge {
        int heading;
        bool two_player;
        float wx, wy;
    } edges[] = {{90, false, 0, 250}, {270, false, 500, 250}, {0, false, 250, 0},
                 {180, false, 250, 500}, {270, true, 500, 250}};
    for (const edge& e : edges) {
        race_test_reset(10, 1, 0, 0, e.two_player);
        put_ball(0, 0, 250, 250);
        live_race.balls[0].heading[0] = (float)e.heading;
        steps(100, held_keys{SDLK_UP});
        EXPECT_EQ(world_x(0, 0), e.wx) << e.heading;
        EXPECT_EQ(world_y(0, 0), e.wy) << e.heading;
        EXPECT_NEAR(live_race.racers[0].speed, -4.4, 1e-3) << e.heading;
    }
    // Every head row is clamped, taking part or not; trailing balls never.
    live_race.balls[0].x[2] = 9999;
    live_race.balls[0].y[1] = -9999;
    live_race.balls[1].x[2] = 9999;
    step_racers(live_race, loaded_track, held_keys{});
    EXPECT_EQ(live_race.balls[0].x[2], 300.0f);   // 500 - 200
    EXPECT_EQ(live_race.balls[0].y[1], -250.0f);
    EXPECT_EQ(live_race.balls[1].x[2], 9999.0f);
}

TEST(RaceCamera, OffsetsFollowTheHeadWithinTheGrid) {
    // 10 x 10 is as large as the view: always 0; 8 x 8 sits at 100.
    for (int n : {10, 8}) {
        race_test_reset(n);
        for (int i = 0; i <= 20; i++) {
            put_ball(0, 0, 50.0f * n * i / 20, 50.0f * n * (20 - i) / 20 + 0.5f);
            step_racers(live_race, loaded_track, held_keys{});
            EXPECT_EQ(live_race.camera_x[0], n == 10 ? 0 : 100);
            EXPECT_EQ(live_race.camera_y[0], n == 10 ? 0 : 100);
        }
    }
    // 20 x 20: from 0 down to 500 - 1000 (400 - 1000 for a two-player view).
    struct spot {
        float x, y;
        bool two_player;
        int cx, cy;
    } spots[] = {{123.9f, 456.5f, false, -123, -456}, {-10.5f, -3, false, 0, 0},
                 {600, 700, false, -500, -500},       {700, 700, true, -600, -500}};
    for (const spot& s : spots) {
        race_test_reset(20, 1, 0, 0, s.two_player);
        live_race.balls[0].x[0] = s.x;
        live_race.balls[0].y[0] = s.y;
        step_racers(live_race, loaded_track, held_keys{});
        EXPECT_EQ(live_race.camera_x[0], s.cx) << s.x;
        EXPECT_EQ(live_race.camera_y[0], s.cy) << s.y;
    }
    // Worked out before the clamp: 749 + 5.1 gives -754, held at -500.
    race_test_reset(20);
    live_race.balls[0].x[0] = 749;
    live_race.balls[0].heading[0] = 270;
    live_race.racers[0].speed = -4;
    step_racers(live_race, loaded_track, held_keys{SDLK_UP});
    EXPECT_EQ(live_race.balls[0].x[0], 750.0f);
    EXPECT_EQ(live_race.camera_x[0], -500);
}

TEST(RaceCamera, ViewTwoFollowsAnUnplacedRacerOne) {
    race_test_reset(20, 3, 0, 2, true);
    place_racers(live_race, loaded_track, setup_random);
    live_race.balls[0].x[1] = 321.7f;
    live_race.balls[0].y[1] = 123.2f;
    step_racers(live_race, loaded_track, held_keys{SDLK_w});
    EXPECT_EQ(live_race.camera_x[1], -321);
    EXPECT_EQ(live_race.camera_y[1], -123);
    EXPECT_EQ(live_race.balls[0].y[1], 123.2f);   // neither placed nor moved

    race_test_reset(20, 3, 2, 2);   // one player: view 2 left alone
    live_race.camera_x[1] = 77;
    place_racers(live_race, loaded_track, setup_random);
    step_racers(live_race, loaded_track, held_keys{});
    EXPECT_EQ(live_race.camera_x[1], 77);
}
