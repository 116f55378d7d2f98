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
