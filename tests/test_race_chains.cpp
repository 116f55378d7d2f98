// SPDX-License-Identifier: GPL-3.0-or-later
// Ball chains: dragging, pushing, and the two faults not to copy (an
// endless drag, a push between balls at one spot).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "base/arith.h"
#include "draw/draw.h"
#include "test_race_support.h"

namespace {

void put(int r, int b, float x, float y) {   // stored coordinates
    live_race.balls[b].x[r] = x;
    live_race.balls[b].y[r] = y;
}

// The plain drag loop written from the rule, capped: false when it did not
// end within `cap` steps.
bool plain_drag(float& bx, float& by, float fx, float fy, long cap) {
    auto far = [&] { return distance((int)bx, (int)by, (int)fx, (int)fy) > 27; };
    if (!far()) return true;
    float h = (float)std::atan((double)((bx - fx) / (by - fy)));
    h = (float)(h * 57.29577957855229);
    if (by < fy) h += 180;
    const int a = wrap_degrees((double)h);
    for (long i = 0; i < cap && far(); i++) {
        bx = (float)(bx - 2 * std::sin(a / 57.29577957855229));
        by = (float)(by - 2 * std::cos(a / 57.29577957855229));
    }
    return !far();
}

}  // namespace

TEST(RaceChains, StartPlacementIsAtRest) {
    race_test_reset(20, 7, 2, 5);
    place_racers(live_race, loaded_track, setup_random);
    BallRow before[MAX_BALLS];
    std::memcpy(before, live_race.balls, sizeof live_race.balls);
    for (int r = 0; r < 3; r++)
        for (int b = 0; b < live_race.lengths[r]; b++) chain_step(live_race, r, b);
    EXPECT_EQ(std::memcmp(before, live_race.balls, sizeof live_race.balls), 0);
}

TEST(RaceChains, DragHeadingsAndTheTwoPixelSteps) {
    struct drag_case {
        float dx, dy;   // ball less leader
        float heading;  // unwrapped
        float end_dx, end_dy;
    } cases[] = {
        {0, 40, 0, 0, 26},   // 40 below: 7 steps up, 26 below
        {0, -40, 180, 0, -26}, {40, 0, 90, 26, 0}, {-40, 0, -90, -26, 0},
        // 45 degrees, steps of 1.414: whole-pixel distances 42, 39, 38, 35,
        // 33, 31, 29, 28, 25 -- 8 steps.
        {30, 30, 45, 30 - 8 * 1.41421356f, 30 - 8 * 1.41421356f},
    };
    for (const drag_case& c : cases) {
        race_test_reset(20, 2);
        put(0, 0, 300, 300);
        put(0, 1, 300 + c.dx, 300 + c.dy);
        chain_step(live_race, 0, 1);
        EXPECT_NEAR(live_race.balls[1].heading[0], c.heading, 1e-4) << c.dx << "," << c.dy;
        EXPECT_NEAR(live_race.balls[1].x[0] - 300, c.end_dx, 1e-4) << c.dx << "," << c.dy;
        EXPECT_NEAR(live_race.balls[1].y[0] - 300, c.end_dy, 1e-4) << c.dx << "," << c.dy;
        EXPECT_EQ(live_race.balls[0].y[0], 300.0f);   // 26 or more apart: no push back
    }
    // 27 whole pixels is close enough: nothing changes, heading included.
    put(0, 1, 319.9f, 319.9f);   // (19, 19) apart: 26.87
    live_race.balls[1].heading[0] = 123;
    chain_step(live_race, 0, 1);
    EXPECT_EQ(live_race.balls[1].x[0], 319.9f);
    EXPECT_EQ(live_race.balls[1].heading[0], 123.0f);
}

TEST(RaceChains, PushMovesTheOtherBallThreePixelsAway) {
    // 23 straight below: pushed to 26, and then too far to push back.
    race_test_reset(20, 1, 1);
    put(0, 0, 100, 100);
    put(1, 0, 100, 123);
    live_race.balls[0].heading[1] = 17;
    chain_step(live_race, 0, 0);
    chain_step(live_race, 1, 0);
    EXPECT_EQ(live_race.balls[0].y[1], 126.0f);
    EXPECT_EQ(live_race.balls[0].heading[1], 17.0f);
    EXPECT_EQ(live_race.balls[0].y[0], 100.0f);
    put(1, 0, 100, 124);   // 24 apart: nobody moves
    chain_step(live_race, 0, 0);
    chain_step(live_race, 1, 0);
    EXPECT_EQ(live_race.balls[0].y[1], 124.0f);
    EXPECT_EQ(live_race.balls[0].y[0], 100.0f);

    // Away from the pusher, the angle cut to whole degrees.
    struct diag {
        float dx, dy;
        int angle;
    } diags[] = {{10, 10, 45}, {-10, -10, 225}, {10, -10, 135}, {-10, 10, -45}, {15, 0, 90}};
    for (const diag& d : diags) {
        put(1, 0, 100 + d.dx, 100 + d.dy);
        chain_step(live_race, 0, 0);
        EXPECT_NEAR(live_race.balls[0].x[1], 100 + d.dx + 3 * std::sin(d.angle / DEG), 1e-4) << d.angle;
        EXPECT_NEAR(live_race.balls[0].y[1], 100 + d.dy + 3 * std::cos(d.angle / DEG), 1e-4) << d.angle;
    }

    // A chain folded onto itself pushes its own balls.
    race_test_reset(20, 3);
    put(0, 1, 0, 20);
    put(0, 2, 10, 0);
    chain_step(live_race, 0, 0);
    EXPECT_EQ(live_race.balls[1].y[0], 23.0f);
    EXPECT_NEAR(live_race.balls[2].x[0], 13.0f, 1e-5);
}

TEST(RaceChains, BallsAtOneSpotArePushedStraightDown) {
    race_test_reset(20, 1, 1, 1);
    for (int r = 0; r < 3; r++) put(r, 0, 50.5f, 60.25f);
    chain_step(live_race, 0, 0);
    for (int r = 1; r < 3; r++) {
        EXPECT_EQ(live_race.balls[0].x[r], 50.5f);
        EXPECT_EQ(live_race.balls[0].y[r], 63.25f);
    }
}

TEST(RaceChains, DragEndsWhereverTheLeaderIs) {
    // Leader 2000 to the left and 34.56 lower: the direction 90.99 is cut
    // to 90, the ball runs straight left and the plain loop never ends.
    // It stops nearest to the leader; the next step reaches it.
    race_test_reset(20, 2);
    put(0, 0, 0, 34.56f);
    put(0, 1, 2000, 0);
    float px = 2000, py = 0;
    ASSERT_FALSE(plain_drag(px, py, 0, 34.56f, 100000));
    chain_step(live_race, 0, 1);
    EXPECT_NEAR(live_race.balls[1].x[0], 0.0, 1.0);
    EXPECT_NEAR(live_race.balls[1].y[0], 0.0, 1e-3);
    EXPECT_NEAR(live_race.balls[1].heading[0], std::atan(2000 / -34.56) * DEG + 180, 1e-3);
    chain_step(live_race, 0, 1);
    EXPECT_LE(distance((int)live_race.balls[1].x[0], (int)live_race.balls[1].y[0], 0, 34), 27);

    // Beyond the float grid a 2-pixel step no longer registers.
    put(0, 0, 0, 0);
    put(0, 1, 3e9f, 1e9f);
    chain_step(live_race, 0, 1);
    EXPECT_EQ(live_race.balls[1].x[0], 3e9f);

    // Not finite: nothing moves, nothing hangs.
    for (float v : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        race_test_reset(20, 2, 1);
        put(0, 0, v, 10);
        put(0, 1, 100, 100);
        put(1, 0, 300, 300);
        chain_step(live_race, 0, 1);
        chain_step(live_race, 0, 0);
        EXPECT_EQ(live_race.balls[1].x[0], 100.0f);
        put(0, 1, 300, v);   // right on top of racer 1's head, but not finite
        put(0, 0, 300, 200);
        chain_step(live_race, 0, 1);
        chain_step(live_race, 1, 0);
        EXPECT_EQ(live_race.balls[0].y[1], 300.0f);
        EXPECT_EQ(live_race.balls[1].x[0], 300.0f);
    }
}

TEST(RaceChains, DragMatchesThePlainLoopWheneverThatEnds) {
    srand(2024);
    int compared = 0, endless = 0;
    for (int i = 0; i < 3000; i++) {
        race_test_reset(20, 2);
        const float fx = (float)(rand() % 2000 - 1000) + (rand() % 100) / 100.0f;
        const float fy = (float)(rand() % 2000 - 1000) + (rand() % 100) / 100.0f;
        const float span = (i % 4 == 0) ? 4000.0f : 120.0f;   // mostly near
        const float bx = fx + ((rand() % 100000) / 100000.0f - 0.5f) * span;
        const float by = fy + ((rand() % 100000) / 100000.0f - 0.5f) * span;
        put(0, 0, fx, fy);
        put(0, 1, bx, by);
        float px = bx, py = by;
        const bool ends = plain_drag(px, py, fx, fy, 20000);
        chain_step(live_race, 0, 1);
        if (ends) {
            ASSERT_EQ(live_race.balls[1].x[0], px) << fx << "," << fy << " from " << bx << "," << by;
            ASSERT_EQ(live_race.balls[1].y[0], py) << fx << "," << fy << " from " << bx << "," << by;
            compared++;
        } else {
            endless++;
            EXPECT_LT(distance((int)live_race.balls[1].x[0], (int)live_race.balls[1].y[0], (int)fx, (int)fy),
                      distance((int)bx, (int)by, (int)fx, (int)fy));
        }
    }
    EXPECT_GT(compared, 2250);
    EXPECT_GT(endless, 0);
}
