// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "base/arith.h"
#include "base/trig.h"

TEST(RaceTrig, EveryRowHoldsTheSineAndCosineOfItsOwnDegree) {
    // Within one unit of any C library's: a row shifted by one degree or a
    // swapped pair is millions of units off.
    for (int d = TRIG_FIRST_DEGREE; d <= TRIG_LAST_DEGREE; d++) {
        const double x = d / DEG;
        const double s = sine_of_degrees(d), c = cosine_of_degrees(d);
        ASSERT_LE(std::fabs(s - std::sin(x)), std::nextafter(std::fabs(s), 2.0) - std::fabs(s)) << d;
        ASSERT_LE(std::fabs(c - std::cos(x)), std::nextafter(std::fabs(c), 2.0) - std::fabs(c)) << d;
    }
    // The bits replays were recorded with, even where another library (or
    // correct rounding) gives the next double: sin(15) is such a case.
    EXPECT_EQ(sine_of_degrees(15), 0x1.0907dc1439916p-2);
    EXPECT_EQ(sine_of_degrees(-15), -0x1.0907dc1439916p-2);
    EXPECT_EQ(sine_of_degrees(0), 0.0);
    EXPECT_EQ(cosine_of_degrees(0), 1.0);
    EXPECT_EQ(sine_of_degrees(-90), -1.0);
}

TEST(RaceTrig, DegreesOutsideTheTableWrapIntoOneTurn) {
    EXPECT_EQ(sine_of_degrees(360), sine_of_degrees(0));
    EXPECT_EQ(sine_of_degrees(400), sine_of_degrees(40));
    EXPECT_EQ(cosine_of_degrees(-91), cosine_of_degrees(269));
    EXPECT_EQ(sine_of_degrees(-91), sine_of_degrees(269));
    EXPECT_EQ(cosine_of_degrees(INT_MIN), cosine_of_degrees(wrap_degrees(INT_MIN)));
    EXPECT_EQ(sine_of_degrees(INT_MAX), sine_of_degrees(wrap_degrees(INT_MAX)));
}

TEST(RaceTrig, AtanOnARoundingEdgeKeepsTheRecordedBits) {
    // Its atan ties two floats: a library one unit higher would turn the
    // drag's heading the other way.
    EXPECT_EQ((float)atan_of_quotient(0x1.1ad646p-4f), 0x1.1a6384p-4f);
    EXPECT_EQ((float)atan_of_quotient(-0x1.1ad646p-4f), -0x1.1a6384p-4f);
    // Within a unit of 90 degrees.
    EXPECT_EQ((int)(DEG * atan_of_quotient(0x1.09a9a8p+29f)), 89);
    EXPECT_EQ((int)(DEG * atan_of_quotient(0x1.09a9aap+29f)), 90);
    EXPECT_EQ((int)(DEG * atan_of_quotient(-0x1.09a9aap+29f)), -90);
    EXPECT_TRUE(atan_is_pinned(-0x1.1ad646p-4f));
    EXPECT_FALSE(atan_is_pinned(0.5f));
    EXPECT_EQ(atan_of_quotient(0.5f), std::atan(0.5));
    EXPECT_EQ(atan_of_quotient(INFINITY), std::atan((double)INFINITY));
}

TEST(RaceArith, FloatLengthIsHypotfInPlainOperations) {
    EXPECT_EQ(float_length(3.0f, -4.0f), 5.0f);
    EXPECT_EQ(float_length(0.0f, 0.0f), 0.0f);
    // No overflow on the way: the squares are taken in double.
    EXPECT_EQ(float_length(3e38f, 3e38f), std::hypot(3e38f, 3e38f));
    EXPECT_EQ(float_length(1e-30f, 1e-30f), std::hypot(1e-30f, 1e-30f));
    // An infinite side wins over a missing one, as hypotf has it.
    EXPECT_EQ(float_length(INFINITY, NAN), INFINITY);
    EXPECT_EQ(float_length(NAN, -INFINITY), INFINITY);
    EXPECT_TRUE(std::isnan(float_length(NAN, 1.0f)));
    // Race-sized positions: this machine's hypotf bits.
    for (float x = -2000.3f; x < 2000; x += 97.7f)
        for (float y = -1500.1f; y < 1500; y += 61.3f) ASSERT_EQ(float_length(x, y), std::hypot(x, y)) << x << "," << y;
}
