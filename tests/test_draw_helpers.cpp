// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/arith.h"
#include "base/clock.h"
#include "core/state.h"
#include "draw/draw.h"
#include "harness.h"
#include "io/assets.h"
#include "io/media.h"
#include "shell/shell.h"

TEST(DrawMath, DistanceTruncatesTheEuclideanLength) {
    EXPECT_EQ(distance(0, 0, 3, 4), 5);
    EXPECT_EQ(distance(0, 0, 1, 1), 1);   // 1.414...
    EXPECT_EQ(distance(0, 0, 2, 2), 2);   // 2.828...
    EXPECT_EQ(distance(7, -3, 7, -3), 0);
    EXPECT_EQ(distance(3, 4, 0, 0), 5);
    EXPECT_EQ(distance(-10, 0, 10, 0), 20);
    // 54.99.. is still 54: the checkpoint reach relies on truncation.
    EXPECT_EQ(distance(0, 0, 39, 38), 54);
    EXPECT_EQ(distance(0, 0, 39, 39), 55);
}

TEST(DrawMath, DistanceOfFarApartPointsDoesNotOverflow) {
    int big = std::numeric_limits<int>::max();
    int small = std::numeric_limits<int>::min();
    EXPECT_EQ(distance(small, 0, big, 0), big);
    EXPECT_GE(distance(small, small, big, big), 0);
}

TEST(DrawMath, PrtWrapsWholeDegrees) {
    EXPECT_EQ(wrap_degrees(360), 0);
    EXPECT_EQ(wrap_degrees(725), 5);
    EXPECT_EQ(wrap_degrees(-1), 359);
    EXPECT_EQ(wrap_degrees(-360), 0);
    EXPECT_EQ(wrap_degrees(-361), 359);
    EXPECT_EQ(wrap_degrees(-725), 355);
    EXPECT_EQ(wrap_degrees(0), 0);
    EXPECT_EQ(wrap_degrees(359), 359);
    for (int a = -2000; a <= 2000; a++) {
        int expected = ((a % 360) + 360) % 360;
        ASSERT_EQ(wrap_degrees(a), expected) << a;
    }
    EXPECT_EQ(wrap_degrees(std::numeric_limits<int>::min()), ((std::numeric_limits<int>::min() % 360) + 360) % 360);
    EXPECT_EQ(wrap_degrees(std::numeric_limits<int>::max()), std::numeric_limits<int>::max() % 360);
}

TEST(DrawMath, PrtOfADoubleTruncatesTowardZeroFirst) {
    EXPECT_EQ(wrap_degrees(359.99), 359);
    EXPECT_EQ(wrap_degrees(-0.5), 0);
    EXPECT_EQ(wrap_degrees(-1.5), 359);
    EXPECT_EQ(wrap_degrees(364.0), 4);
    EXPECT_EQ(wrap_degrees(-5.0), 355);
    // No whole degree exists for these; they must not be undefined behaviour.
    EXPECT_EQ(wrap_degrees(std::nan("")), 0);
    EXPECT_EQ(wrap_degrees(1e300), 0);
}

TEST(DrawMath, KulmafGivesTheDirectionBetweenTwoPoints) {
    EXPECT_EQ(direction_to(0, 0, 10, 10), 45);
    EXPECT_EQ(direction_to(0, 0, -10, 10), 315);
    EXPECT_EQ(direction_to(0, 0, 10, -10), 135);
    EXPECT_EQ(direction_to(0, 0, -10, -10), 225);
    EXPECT_EQ(direction_to(0, 0, 1, 100), 1);
    EXPECT_EQ(direction_to(0, 0, 100, 1), 90);
    EXPECT_EQ(direction_to(0, 0, 100, -1), 91);
    // A shared x or y gives 180, whatever the order of the points.
    EXPECT_EQ(direction_to(0, 0, 0, 10), 180);
    EXPECT_EQ(direction_to(0, 10, 0, 0), 180);
    EXPECT_EQ(direction_to(0, 0, 10, 0), 180);
    EXPECT_EQ(direction_to(10, 0, 0, 0), 180);
    EXPECT_EQ(direction_to(5, 5, 5, 5), 180);
}

TEST(DrawMath, KulmafPointsAlongSinCos) {
    // (sin a, cos a) of the result points from the first point to the second,
    // within the degree lost to truncation.
    for (int dx = -40; dx <= 40; dx += 7)
        for (int dy = -40; dy <= 40; dy += 9) {
            if (dx == 0 || dy == 0) continue;
            int a = direction_to(0, 0, dx, dy);
            ASSERT_GE(a, 1);
            ASSERT_LE(a, 359);
            double exact = std::atan2((double)dx, (double)dy) * DEG;
            if (exact < 0) exact += 360;
            ASSERT_LT(std::fabs(exact - a), 1.0) << dx << "," << dy;
        }
}

TEST(DrawMath, AbsClearsTheSignOfNegativesOnly) {
    EXPECT_EQ(abs(-2.5f, 99.0f), 2.5f);
    EXPECT_EQ(abs(2.5f, -1.0f), 2.5f);
    EXPECT_TRUE(std::signbit(abs(-0.0f, 0.0f)));   // -0.0 is not below 0.0
    EXPECT_TRUE(std::isnan(abs(std::nanf(""), 0.0f)));
}

TEST(DrawTiming, FpsMeasuresThePreviousFrame) {
    clock_use_virtual(true);
    clock_set(5000);
    start_frame();
    EXPECT_EQ(frame_start_ticks, 5000u);
    clock_set(5020);
    EXPECT_EQ(start_frame(), 50);
    clock_set(5030);
    EXPECT_EQ(start_frame(), 100);
    clock_set(5031);
    EXPECT_EQ(start_frame(), 1000);
    clock_set(7000);
    EXPECT_EQ(start_frame(), 0);
    // No time at all since the last call: no division by zero, start recorded.
    EXPECT_EQ(start_frame(), 1000);
    EXPECT_EQ(frame_start_ticks, 7000u);
}

TEST(DrawTiming, TopUpWaitsOutTheRestOfTheFrame) {
    clock_use_virtual(true);
    clock_set(1000);
    start_frame();
    clock_set(1004);
    top_up(20);
    EXPECT_EQ(game_ticks(), 1020u);
    start_frame();
    clock_set(1050);   // a slow frame is not delayed further
    top_up(20);
    EXPECT_EQ(game_ticks(), 1050u);
}

TEST(DrawText, ButtonShowsItsTwoLooks) {
    start_game_headless();
    SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 0, 0, 0));
    draw_button(screen, 10, 10, "", 2, 2, small_font);     // highlighted: opaque dark box
    draw_button(screen, 10, 60, "", 1, 2, small_font);     // not highlighted: translucent light box
    draw_button(screen, 10, 110, "", -7, 2, small_font);   // any other value too
    EXPECT_EQ(pixel_at(screen, 70, 20), 0xAF28AAu);
    // 170/255 of (245, 126, 241) over black.
    Uint32 light = pixel_at(screen, 70, 70);
    EXPECT_NEAR((int)(light >> 16), 245 * 170 / 255, 2);
    EXPECT_NEAR((int)(light >> 8 & 255), 126 * 170 / 255, 2);
    EXPECT_NEAR((int)(light & 255), 241 * 170 / 255, 2);
    EXPECT_EQ(pixel_at(screen, 70, 120), light);
    // Frame in light pink, both corners included: 141 x 21 pixels.
    EXPECT_EQ(pixel_at(screen, 10, 10), 0xFCCEFBu);
    EXPECT_EQ(pixel_at(screen, 150, 30), 0xFCCEFBu);
    EXPECT_EQ(pixel_at(screen, 151, 30), 0u);
    EXPECT_EQ(pixel_at(screen, 150, 31), 0u);
}

static int lit_pixels(SDL_Surface* s, int x0, int y0, int w, int h) {
    int n = 0;
    for (int x = x0; x < x0 + w; x++)
        for (int y = y0; y < y0 + h; y++)
            if (pixel_at(s, x, y) != 0) n++;
    return n;
}

TEST(DrawText, TextRoutinesDrawInTheirColoursAndFormatNumbers) {
    start_game_headless();
    SDL_FillRect(screen, nullptr, 0);
    text_white(screen, 20, 20, "WWW", large_font);
    EXPECT_GT(lit_pixels(screen, 20, 20, 100, 50), 100);
    bool white = false;
    for (int x = 20; x < 120 && !white; x++)
        for (int y = 20; y < 70 && !white; y++) white = pixel_at(screen, x, y) == 0xFFFFFFu;
    EXPECT_TRUE(white);

    SDL_FillRect(screen, nullptr, 0);
    text_pink(screen, 20, 20, "WWW", large_font);
    bool pink = false;
    for (int x = 20; x < 120 && !pink; x++)
        for (int y = 20; y < 70 && !pink; y++) pink = pixel_at(screen, x, y) == 0xFCCEFBu;
    EXPECT_TRUE(pink);

    // Black text on white shows as dark pixels.
    SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 255, 255, 255));
    text(screen, 20, 20, 42, small_font);
    EXPECT_STREQ(label_buffer, "42");
    int dark = 0;
    for (int x = 20; x < 50; x++)
        for (int y = 20; y < 36; y++) dark += pixel_at(screen, x, y) < 0x404040u;
    EXPECT_GT(dark, 10);
    text(screen, 20, 60, 2.5, small_font);
    EXPECT_STREQ(label_buffer, "2.5");
    text(screen, 20, 60, 1e20, small_font);
    EXPECT_STREQ(label_buffer, "1E+20");
    // Empty strings render nothing and must not fail.
    text(screen, 0, 0, "", small_font);
    text_white(screen, 0, 0, "", small_font);
}
