// SPDX-License-Identifier: GPL-3.0-or-later
// Slowing cells, the finish strip, checkpoints, laps, the winner.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "test_race_support.h"

namespace {

const held_keys none;

// The slowing rule as written for one cell: every ball strictly inside a
// cell of code 1 to 5 slows its racer by the factor 0.05.
void slow_racers_on_cell(int i, int j) {
    if (loaded_track.tiles[i][j] < 1 || loaded_track.tiles[i][j] > 5) return;
    for (int r = 0; r < RACERS; r++)
        for (int b = 0; b < racer_length(live_race, r); b++) {
            const int px = (int)(view_half_width(live_race) + live_race.balls[b].x[r]);
            const int py = (int)(view_half_height(live_race) + live_race.balls[b].y[r]);
            if (50 * i < px && px < 50 * i + 50 && 50 * j < py && py < 50 * j + 50)
                live_race.racers[r].speed = (float)(live_race.racers[r].speed * 0.05);
        }
}

void slow_cell_by_cell(Race&, const Track&) {   // as the frame's tile loop: columns outer
    for (int i = 0; i < loaded_track.size; i++)
        for (int j = 0; j < loaded_track.size; j++) slow_racers_on_cell(i, j);
}

// Finish cell (200, 500): the strip is world x in (200, 300), y in (500, 520).
void put_head_in_strip(int r) { put_ball(r, 0, 250.5f, 510.25f); }

}  // namespace

TEST(RaceSlowing, BallsStrictlyInsideSlowingCells) {
    race_test_reset(20, 2);
    for (int i = 0; i < 20; i++)
        for (int j = 0; j < 20; j++) loaded_track.tiles[i][j] = 1 + (i + j) % 5;
    const float once = (float)(-1.0 * 0.05);
    struct spot {
        float wx, wy;
        bool slowed;
    } spots[] = {{100, 225, false}, {100.9f, 225, false}, {101, 225, true}, {125, 250, false},
                 {125, 249.99f, true}, {0.5f, 10, false}, {999, 999, true}, {1001, 30, false}};
    for (const spot& s : spots) {
        put_ball(0, 0, s.wx, s.wy);
        put_ball(0, 1, 1200, 1200);   // off the grid
        for (void (*slow)(Race&, const Track&) : {slow_racers, slow_cell_by_cell}) {
            live_race.racers[0].speed = -1.0f;
            slow(live_race, loaded_track);
            EXPECT_EQ(live_race.racers[0].speed, s.slowed ? once : -1.0f) << s.wx << "," << s.wy;
        }
    }
    // Two balls on slowing cells: 0.05 twice, each rounded to a float.
    put_ball(0, 0, 170, 220);
    put_ball(0, 1, 260, 230);
    live_race.racers[0].speed = -4.0f;
    slow_racers(live_race, loaded_track);
    EXPECT_EQ(live_race.racers[0].speed, (float)((float)(-4.0 * 0.05) * 0.05));
    EXPECT_NEAR(live_race.racers[0].speed, -4.0 * 0.0025, 1e-7);
    // Other codes do nothing.
    loaded_track.tiles[3][4] = 6;
    loaded_track.tiles[5][4] = 12;
    live_race.racers[0].speed = -4.0f;
    slow_racers(live_race, loaded_track);
    EXPECT_EQ(live_race.racers[0].speed, -4.0f);
}

TEST(RaceSlowing, OneCellPerBallMatchesTheCellLoop) {
    srand(11);
    for (int round = 0; round < 300; round++) {
        const int n = 1 + rand() % 12;
        race_test_reset(n, 1 + rand() % 10, rand() % 11, rand() % 11, round & 1);
        for (int i = 0; i <= n; i++)
            for (int j = 0; j <= n; j++) loaded_track.tiles[i][j] = rand() % 7;
        float start[3];
        for (int r = 0; r < 3; r++) {
            for (int b = 0; b < MAX_BALLS; b++)   // many on lines and just outside
                put_ball(r, b, (float)(rand() % (50 * n + 100) - 50) + (rand() % 2) * 0.5f,
                         (float)(rand() % (50 * n + 100) - 50) + (rand() % 2) * 0.25f);
            start[r] = live_race.racers[r].speed = -5.0f + (rand() % 1000) / 100.0f;
        }
        slow_racers(live_race, loaded_track);
        const float per_ball[3] = {live_race.racers[0].speed, live_race.racers[1].speed, live_race.racers[2].speed};
        for (int r = 0; r < 3; r++) live_race.racers[r].speed = start[r];
        slow_cell_by_cell(live_race, loaded_track);
        for (int r = 0; r < 3; r++) ASSERT_EQ(per_ball[r], live_race.racers[r].speed) << round;
    }
}

TEST(RaceSlowing, ForwardKeySettlesNearOnePointOneFourSix) {
    race_test_reset(20);
    for (int i = 0; i < 20; i++)
        for (int j = 0; j < 20; j++) loaded_track.tiles[i][j] = 3;
    put_ball(0, 0, 525, 998);   // 40 steps stay inside row 19
    float travel = 0;
    for (int i = 0; i < 40; i++) {
        const float y0 = live_race.balls[0].y[0];
        race_step(live_race, loaded_track, held_keys{SDLK_UP}, nullptr);
        travel = y0 - live_race.balls[0].y[0];
    }
    EXPECT_NEAR(travel, 1.1 / 0.96, 1e-4);   // t = 1.1 + 0.8 x 0.05 t
}

TEST(RaceLaps, NoLapAtTheStartUnlessTheTrackHasNoCheckpoints) {
    for (int cps : {2, 0}) {
        race_test_reset(20, 3, 2, 2);
        loaded_track.checkpoint_count = cps;
        loaded_track.checkpoints[0] = {800, 100};
        loaded_track.checkpoints[1] = {800, 800};
        place_racers(live_race, loaded_track, setup_random);
        EXPECT_EQ(world_y(0, 0), 520.0f + 15);   // 15 below the strip
        for (int i = 0; i < 12; i++) race_step(live_race, loaded_track, held_keys{SDLK_UP}, nullptr);
        EXPECT_LT(world_y(0, 0), 500.0f);   // crossed it
        EXPECT_EQ(live_race.racers[0].completed_laps > 0, cps == 0);
    }
}

TEST(RaceLaps, StripBoundsAreStrictAndUntruncated) {
    race_test_reset(20);
    struct spot {
        float wx, wy;
        bool inside;
    } spots[] = {{200, 510, false},    {200.25f, 510, true}, {299.75f, 510, true},
                 {300, 510, false},    {250, 500, false},    {250, 500.25f, true},
                 {250, 519.75f, true}, {250, 520, false}};
    for (const spot& s : spots) {
        live_race.racers[0].completed_laps = 0;
        put_ball(0, 0, s.wx, s.wy);
        check_finish_line(live_race, loaded_track, 0);
        EXPECT_EQ(live_race.racers[0].completed_laps, s.inside ? 1 : 0) << s.wx << "," << s.wy;
    }
}

TEST(RaceLaps, WithoutCheckpointsEveryStepInsideScores) {
    race_test_reset(20);
    put_ball(0, 0, 250, 523);
    live_race.racers[0].speed = -4.4f;   // 5.5 pixels per step from here
    for (int i = 0; i < 8; i++) {
        const int before = live_race.racers[0].completed_laps;
        race_step(live_race, loaded_track, held_keys{SDLK_UP}, nullptr);
        const float wy = world_y(0, 0);
        EXPECT_EQ(live_race.racers[0].completed_laps - before, wy > 500 && wy < 520) << i;
    }
    EXPECT_EQ(live_race.racers[0].completed_laps, 4);   // 517.5, 512, 506.5, 501
}

TEST(RaceLaps, EveryCheckpointIsNeeded) {
    race_test_reset(20);
    loaded_track.checkpoint_count = 3;
    live_race.checkpoint_passed[0][0] = live_race.checkpoint_passed[2][0] = 1;
    live_race.checkpoint_passed[1][1] = 1;   // another racer's flag does not count
    put_head_in_strip(0);
    for (int i = 0; i < 5; i++) check_finish_line(live_race, loaded_track, 0);
    EXPECT_EQ(live_race.racers[0].completed_laps, 0);
    live_race.checkpoint_passed[1][0] = 1;
    check_finish_line(live_race, loaded_track, 0);
    check_finish_line(live_race, loaded_track, 0);   // flags cleared: once only
    EXPECT_EQ(live_race.racers[0].completed_laps, 1);
    EXPECT_EQ(live_race.checkpoint_passed[0][0] + live_race.checkpoint_passed[1][0] + live_race.checkpoint_passed[2][0], 0);
    EXPECT_EQ(live_race.checkpoint_passed[1][1], 1);

    // A checkpoint in the strip counts from the step after the touch.
    race_test_reset(20);
    loaded_track.checkpoint_count = 1;
    loaded_track.checkpoints[0] = {200, 460};   // centre (250, 510)
    put_head_in_strip(0);
    race_step(live_race, loaded_track, none, nullptr);
    EXPECT_EQ(live_race.racers[0].completed_laps, 0);
    race_step(live_race, loaded_track, none, nullptr);
    EXPECT_EQ(live_race.racers[0].completed_laps, 1);
}

TEST(RaceLaps, RacerOutOfTheRaceNeverScores) {
    // Player 3 stood in the strip when an earlier race ended and takes no
    // part now, on a track without checkpoints.
    race_test_reset(20);
    live_race.laps = 1;
    put_ball(0, 0, 900, 900);
    put_head_in_strip(2);
    for (int i = 0; i < 5; i++) race_step(live_race, loaded_track, none, nullptr);
    update_winner(live_race);
    EXPECT_EQ(live_race.racers[2].completed_laps, 0);
    EXPECT_EQ(live_race.winner, 0);
    EXPECT_FALSE(race_over(live_race));
}

TEST(RaceCheckpoints, ReachIsFiftyFourFromTheCellCorner) {
    race_test_reset(20, 1, 1, 1);
    loaded_track.checkpoint_count = 2;
    loaded_track.checkpoints[1] = {300, 300};   // centre (350, 350)
    struct spot {
        float wx, wy;
        bool touched;
    } spots[] = {{404, 350, true},   {405, 350, false}, {350, 296, true}, {350, 295, false},
                 {388, 388, true},   {389, 389, false}, {404.9f, 350, true}};
    for (const spot& s : spots) {
        reset_race_progress(live_race);
        live_race.checkpoint_lit[1] = 0;
        put_ball(0, 0, 0, 0);
        put_ball(1, 0, s.wx, s.wy);
        touch_checkpoint(live_race, loaded_track, 1);
        EXPECT_EQ(live_race.checkpoint_lit[1], s.touched) << s.wx << "," << s.wy;
        EXPECT_EQ(live_race.checkpoint_passed[1][1], s.touched);
        EXPECT_EQ(live_race.checkpoint_passed[1][0] + live_race.checkpoint_passed[0][1], 0);   // only its own flag
    }
    // Without a marker hook each step's touches alone light it.
    put_ball(1, 0, 2000, 2000);
    put_ball(0, 0, 350, 350);
    race_step(live_race, loaded_track, none, nullptr);
    EXPECT_EQ(live_race.checkpoint_lit[1], 1);
    put_ball(0, 0, 900, 900);
    race_step(live_race, loaded_track, none, nullptr);
    EXPECT_EQ(live_race.checkpoint_lit[1], 0);
}

TEST(RaceWinner, LowerIndexWinsATieAndLapsMayExceedTheRace) {
    race_test_reset(20, 1, 1, 1);
    live_race.laps = 2;
    for (int r = 0; r < 3; r++) live_race.racers[r].completed_laps = 1;
    put_ball(0, 0, 900, 900);
    put_head_in_strip(1);
    put_ball(2, 0, 260.5f, 505);
    for (int r = 0; r < 3; r++) check_finish_line(live_race, loaded_track, r);
    update_winner(live_race);
    EXPECT_EQ(live_race.winner, 2);   // player 2 (racer 1) before player 3
    EXPECT_FALSE(race_over(live_race));
    for (int i = 0; i < 3; i++) check_finish_line(live_race, loaded_track, 2);
    EXPECT_EQ(live_race.racers[2].completed_laps, 5);
    put_head_in_strip(0);
    check_finish_line(live_race, loaded_track, 0);
    update_winner(live_race);
    EXPECT_EQ(live_race.winner, 2);
    EXPECT_TRUE(race_over(live_race));
    reset_race_progress(live_race);
    EXPECT_EQ(live_race.winner + live_race.racers[0].completed_laps + live_race.racers[2].completed_laps, 0);

    race_test_reset(20, 4, 0, 0);   // alone: over as soon as player 1 is
    live_race.laps = 1;
    EXPECT_EQ(active_racers(live_race), 1);
    live_race.racers[0].completed_laps = 1;
    EXPECT_TRUE(race_over(live_race));
}

namespace {
std::string frame_calls;
float speed_at_track_hook;
void track_hook(const Race&, const Track&) {
    frame_calls += "T";
    speed_at_track_hook = live_race.racers[0].speed;
}
void ball_hook(const Race&, int r, int b) {
    frame_calls += " B" + std::to_string(r) + std::to_string(b);
    // Drawn right after its own chain step: ball 1 already dragged, ball 2
    // not yet.
    if (r == 0 && b == 1) frame_calls += live_race.balls[1].y[0] < 80 && live_race.balls[2].y[0] == 117 ? "+" : "-";
}
void marker_hook(const Race& race, const Track&, int k) {
    frame_calls += " M" + std::to_string(k) + std::to_string(race.checkpoint_lit[k]);
}
}  // namespace

TEST(RaceStep, HooksRunInTheFrameOrder) {
    race_test_reset(20, 3, 0, 1);
    for (int i = 0; i < 20; i++)
        for (int j = 0; j < 20; j++) loaded_track.tiles[i][j] = 4;
    put_ball(0, 0, 301, 301);
    put_ball(0, 1, 301, 340);   // stored y 90; 40 below the moved head: dragged
    put_ball(0, 2, 301, 367);   // stored y 117
    put_ball(2, 0, 901, 901);
    loaded_track.checkpoint_count = 2;
    loaded_track.checkpoints[1] = {250, 250};
    live_race.checkpoint_lit[1] = 1;   // lit from the last step; touched again now
    live_race.racers[0].speed = -1.0f;
    struct Watching : RaceDrawing {
        void track(const Race& race, const Track& t) override { track_hook(race, t); }
        void ball(const Race& race, int r, int b) override { ball_hook(race, r, b); }
        void marker(const Race& race, const Track& t, int k) override { marker_hook(race, t, k); }
    } drawing;
    frame_calls.clear();
    race_step(live_race, loaded_track, held_keys{}, &drawing);
    EXPECT_EQ(frame_calls, "T B00 B01+ B02 B20 M00 M11");
    EXPECT_EQ(speed_at_track_hook, -0.8f);   // slowed only after the grid is drawn
    EXPECT_EQ(live_race.racers[0].speed, (float)((float)(-0.8f * 0.05) * 0.05));   // balls 1 and 2
    EXPECT_EQ(live_race.checkpoint_lit[1], 1);
}
