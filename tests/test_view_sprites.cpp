// SPDX-License-Identifier: GPL-3.0-or-later
// Ball sprites, checkpoint markers and the composition of the two views.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "core/state.h"
#include "harness.h"
#include "io/assets.h"
#include "io/media.h"
#include "race/race.h"
#include "shell/shell.h"
#include "test_view_support.h"
#include "track/track.h"
#include "view/tiles.h"
#include "view/view.h"

TEST(ViewSpriteAngle, TruncatesThenWrapsIntoTheTable) {
    EXPECT_EQ(sprite_angle(-45.7f), 315);
    EXPECT_EQ(sprite_angle(359.9f), 359);
    EXPECT_EQ(sprite_angle(360.0f), 0);
    EXPECT_EQ(sprite_angle(0.0f), 0);
    EXPECT_EQ(sprite_angle(0.99f), 0);
    EXPECT_EQ(sprite_angle(-0.5f), 0);    // truncates to 0, no wrap needed
    EXPECT_EQ(sprite_angle(-1.0f), 359);
    EXPECT_EQ(sprite_angle(-90.0f), 270);  // a trailing ball's lowest heading
    EXPECT_EQ(sprite_angle(269.5f), 269);
    EXPECT_EQ(sprite_angle(364.9f), 4);    // a computer head just past a turn
    EXPECT_EQ(sprite_angle(-725.0f), 355);
}

TEST(ViewSpriteAngle, AnyHeadingGivesAValidEntry) {
    const float odd[] = {1e10f, -1e10f, 3e38f, std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()};
    for (float h : odd) {
        int a = sprite_angle(h);
        EXPECT_GE(a, 0) << h;
        EXPECT_LE(a, 359) << h;
    }
}

TEST(ViewRotationTables, EveryEntryIsTheBallImageTurned) {
    start_game_headless();
    for (int s = 0; s < 4; s++)
        for (int a = 0; a < 360; a++) ASSERT_NE(rotated_images[s][a], nullptr) << s << " " << a;
    // The pictures are 26 x 26; turned by 45 degrees the bounding box grows,
    // by 90 it keeps its size.
    for (int s = 0; s < 4; s++) {
        EXPECT_EQ(rotated_images[s][0]->w, 26);
        EXPECT_EQ(rotated_images[s][90]->h, 26);
        EXPECT_GT(rotated_images[s][45]->w, 30);
    }
}

// Swaps chosen rotation entries for small solid squares of known colours, so
// that where and with which entry a ball is drawn can be read off the window.
class ViewBalls : public ::testing::Test {
  protected:
    struct Swap { int table, angle; SDL_Surface* saved; };
    std::vector<Swap> swaps;

    void SetUp() override {
        start_game_headless();
        std::memset(live_race.balls, 0, sizeof live_race.balls);
        live_race.camera_x[0] = live_race.camera_y[0] = live_race.camera_x[1] = live_race.camera_y[1] = 0;
        SDL_FillRect(screen, nullptr, 0);
        SDL_FillRect(second_view, nullptr, 0);
    }
    void TearDown() override {
        for (auto& s : swaps) {
            SDL_FreeSurface(rotated_images[s.table][s.angle]);
            rotated_images[s.table][s.angle] = s.saved;
        }
    }
    void mark(int table, int angle, Uint32 colour, int size = 4) {
        SDL_Surface* sq = SDL_CreateRGBSurface(SDL_SWSURFACE, size, size, 32, 0, 0, 0, 0);
        SDL_FillRect(sq, nullptr, SDL_MapRGB(sq->format, colour >> 16, (colour >> 8) & 255, colour & 255));
        swaps.push_back({table, angle, rotated_images[table][angle]});
        rotated_images[table][angle] = sq;
    }
    void place(int r, int b, float x, float y, float heading, float sprite) {
        live_race.balls[b].x[r] = x;
        live_race.balls[b].y[r] = y;
        live_race.balls[b].heading[r] = heading;
        live_race.balls[b].sprite[r] = sprite;
    }
    static bool only_black(SDL_Surface* s) {
        for (int y = 0; y < s->h; y++)
            for (int x = 0; x < s->w; x++)
                if (pixel_at(s, x, y) != 0) return false;
        return true;
    }
};

TEST_F(ViewBalls, PlaceIsHalfViewPlusCameraPlusStoredLess13) {
    mark(0, 0, 0xFF0000);
    place(0, 0, 0.0f, 0.0f, 0.0f, 0.0f);
    draw_ball(live_race, 0, 0);
    EXPECT_EQ(pixel_at(screen, 237, 237), 0xFF0000u);
    EXPECT_EQ(pixel_at(screen, 240, 240), 0xFF0000u);
    EXPECT_EQ(pixel_at(screen, 236, 237), 0u);
    EXPECT_EQ(pixel_at(screen, 241, 240), 0u);
    EXPECT_TRUE(only_black(second_view)) << "view 2 is only drawn in two-player mode";
    // Camera and stored position added as floats, then truncated:
    // 250 + trunc(-40 + 10.9) - 13 = 208; 250 + trunc(7 - 0.5) - 13 = 243.
    mark(1, 90, 0x00FF00, 1);
    live_race.camera_x[0] = -40;
    live_race.camera_y[0] = 7;
    place(0, 3, 10.9f, -0.5f, 90.4f, 1.0f);
    draw_ball(live_race, 0, 3);
    EXPECT_EQ(pixel_at(screen, 208, 243), 0x00FF00u);
}

TEST_F(ViewBalls, HeadingPicksTheEntryAndSpriteThePicture) {
    mark(2, 315, 0x0000FF);
    mark(2, 359, 0x00FFFF);
    mark(2, 0, 0xFFFF00);
    mark(3, 0, 0xFF00FF);
    struct { float heading, sprite; Uint32 colour; } cases[] = {
        {-45.7f, 2.0f, 0x0000FF}, {359.9f, 2.0f, 0x00FFFF}, {360.0f, 2.0f, 0xFFFF00}, {0.0f, 3.0f, 0xFF00FF},
    };
    for (auto& c : cases) {
        SDL_FillRect(screen, nullptr, 0);
        place(2, 1, 0.0f, 0.0f, c.heading, c.sprite);
        draw_ball(live_race, 2, 1);
        EXPECT_EQ(pixel_at(screen, 238, 238), c.colour) << "heading " << c.heading << " sprite " << c.sprite;
    }
}

TEST_F(ViewBalls, SpriteOutsideTheFourTablesDrawsNothing) {
    for (float sprite : {-1.0f, 0.5f, 4.0f, 2.0001f}) {
        place(1, 0, 0.0f, 0.0f, 0.0f, sprite);
        draw_ball(live_race, 1, 0);
    }
    EXPECT_TRUE(only_black(screen));
}

TEST_F(ViewBalls, UnplaceablePositionsAreNotDrawn) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    // 70000 would wrap to a 16-bit position inside the window if it were
    // converted blindly.
    const float xs[] = {nan, inf, -inf, 3e9f, 65536.0f + 100.0f, 0.0f};
    const float ys[] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, nan};
    for (int i = 0; i < 6; i++) {
        place(0, 0, xs[i], ys[i], 0.0f, 0.0f);
        draw_ball(live_race, 0, 0);
    }
    EXPECT_TRUE(only_black(screen));
}

TEST_F(ViewBalls, TwoPlayerModeDrawsEachViewWithItsCamera) {
    two_players = live_race.two_players = true;
    live_race.view_width = 400;
    set_video_mode(800, 500);
    SDL_FillRect(screen, nullptr, 0);
    mark(0, 10, 0xFF8000, 2);
    live_race.camera_x[0] = 20;
    live_race.camera_y[0] = -30;
    live_race.camera_x[1] = -50;
    live_race.camera_y[1] = 40;
    place(1, 2, 5.0f, 5.0f, 10.2f, 0.0f);
    draw_ball(live_race, 1, 2);
    // View 1: 200 + 25 - 13 = 212, 250 - 25 - 13 = 212. View 2: 200 - 45 - 13 = 142, 250 + 45 - 13 = 282.
    EXPECT_EQ(pixel_at(screen, 212, 212), 0xFF8000u);
    EXPECT_EQ(pixel_at(second_view, 142, 282), 0xFF8000u);
    EXPECT_EQ(pixel_at(second_view, 212, 212), 0u);
}

class ViewMarkers : public ::testing::Test {
  protected:
    SDL_Surface* saved_idle = nullptr;
    SDL_Surface* saved_lit = nullptr;
    void SetUp() override {
        start_game_headless();
        live_race.camera_x[0] = live_race.camera_y[0] = live_race.camera_x[1] = live_race.camera_y[1] = 0;
        saved_idle = marker_idle;
        saved_lit = marker_lit;
        marker_idle = square(0x404040);
        marker_lit = square(0xE0E0E0);
        SDL_FillRect(screen, nullptr, 0);
        SDL_FillRect(second_view, nullptr, 0);
    }
    void TearDown() override {
        SDL_FreeSurface(marker_idle);
        SDL_FreeSurface(marker_lit);
        marker_idle = saved_idle;
        marker_lit = saved_lit;
    }
    static SDL_Surface* square(Uint32 c) {
        SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, 3, 3, 32, 0, 0, 0, 0);
        SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, c >> 16, (c >> 8) & 255, c & 255));
        return s;
    }
};

TEST_F(ViewMarkers, LitShowsTheSecondPictureOnceInEveryView) {
    live_race.two_players = true;
    live_race.view_width = 400;
    set_video_mode(800, 500);
    loaded_track.checkpoints[3] = {100, 150};
    live_race.checkpoint_lit[3] = 1;
    live_race.camera_x[0] = -20;
    live_race.camera_y[0] = 10;
    live_race.camera_x[1] = 100;
    live_race.camera_y[1] = -20;
    draw_checkpoint_marker(live_race, loaded_track, 3);
    EXPECT_EQ(pixel_at(screen, 85, 165), 0xE0E0E0u);   // 100 - 20 + 5, 150 + 10 + 5
    EXPECT_EQ(pixel_at(screen, 84, 165), 0u);
    EXPECT_EQ(pixel_at(second_view, 205, 135), 0xE0E0E0u) << "shown in view 2 too";
    live_race.checkpoint_lit[3] = 0;   // as the step clears it once shown
    draw_checkpoint_marker(live_race, loaded_track, 3);
    EXPECT_EQ(pixel_at(screen, 85, 165), 0x404040u);
    EXPECT_EQ(pixel_at(second_view, 205, 135), 0x404040u);
}

TEST(ViewCompose, ViewTwoCoversEverythingOfViewOneRightOf399) {
    start_game_headless();
    two_players = live_race.two_players = true;
    live_race.view_width = 400;
    set_video_mode(800, 500);
    // View 1 spilling over its width, view 2 a pattern whose first column is not black.
    SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 255, 255, 255));
    SDL_FillRect(second_view, nullptr, SDL_MapRGB(second_view->format, 10, 80, 160));
    SDL_Rect r = {0, 0, 50, 500};
    SDL_FillRect(second_view, &r, SDL_MapRGB(second_view->format, 200, 30, 30));
    compose_views(live_race);
    for (int y = 0; y < 500; y++) {
        ASSERT_EQ(pixel_at(screen, 400, y), 0u) << "column 400 at " << y;
        ASSERT_EQ(pixel_at(screen, 399, y), 0xFFFFFFu);
        ASSERT_EQ(pixel_at(screen, 401, y), 0xC81E1Eu);
        ASSERT_EQ(pixel_at(screen, 799, y), 0x0A50A0u);
    }
}
