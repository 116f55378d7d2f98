// SPDX-License-Identifier: GPL-3.0-or-later
// chainball-sim's float records: format_g9 against printf("%.9g") itself.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "sim/sim.h"

namespace {

std::string ours(double v) {
    char buf[64];
    char* end = format_g9(buf, v);
    return std::string(buf, end);
}

std::string printfs(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.9g", v);
    return buf;
}

// Every value and its negation; reports the first few that differ.
int mismatches(const std::vector<double>& values) {
    int bad = 0;
    for (double v : values)
        for (double w : {v, -v}) {
            const std::string a = ours(w), b = printfs(w);
            if (a != b && ++bad <= 10) ADD_FAILURE() << "ours '" << a << "', printf '" << b << "'";
        }
    return bad;
}

double from_bits(uint64_t b) {
    double d;
    std::memcpy(&d, &b, sizeof d);
    return d;
}

}  // namespace

TEST(SimFormat, InfinitiesNaNsAndEdgesOfTheFastRange) {
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> v = {0.0, inf, std::numeric_limits<double>::quiet_NaN(), from_bits(0x7FF0000000000001ull),
                             DBL_MIN, DBL_MAX, DBL_TRUE_MIN, FLT_MIN, FLT_MAX, FLT_TRUE_MIN, 5e-324,
                             std::nextafter(DBL_MIN, 0.0), 1.0, 0.1, 0.5, 1.5, 2.5, 360.0, 359.999999,
                             // Exact ties at the tenth digit round to even, as printf does.
                             100000000.5, 100000001.5, 123456788.5, 123456789.5, 999999999.5, 999999998.5,
                             9.5, 0.000123456785, 1e8 + 0.25, 4294967295.5};
    for (int k = -12; k <= 20; k++) {
        const double p = std::pow(10.0, k);
        for (double q : {p, std::nextafter(p, 0.0), std::nextafter(p, inf), p * 0.9999999995, p * 0.99999999949,
                         p * 0.99999999951})
            v.push_back(q);
    }
    EXPECT_EQ(mismatches(v), 0);
    EXPECT_EQ(ours(-0.0), "-0");
    EXPECT_EQ(ours(-std::numeric_limits<double>::quiet_NaN()), printfs(-std::numeric_limits<double>::quiet_NaN()));
}

TEST(SimFormat, RandomFloatsDoublesAndDenormalsMatchPrintf) {
    std::mt19937_64 rng(20261207);
    std::vector<double> v;
    // Every float bit pattern is fair game: the records print floats.
    for (int i = 0; i < 200000; i++) {
        const uint32_t b = (uint32_t)rng();
        float f;
        std::memcpy(&f, &b, sizeof f);
        v.push_back((double)f);
    }
    for (int i = 0; i < 200000; i++) v.push_back(from_bits(rng()));
    // Denormal doubles and floats.
    for (int i = 0; i < 20000; i++) {
        v.push_back(from_bits(rng() & 0x000FFFFFFFFFFFFFull));
        const uint32_t b = (uint32_t)rng() & 0x007FFFFFu;
        float f;
        std::memcpy(&f, &b, sizeof f);
        v.push_back((double)f);
    }
    // What a race prints: positions, headings and speeds.
    std::uniform_real_distribution<float> pos(-3000.0f, 3000.0f), small(-1e-3f, 1e-3f);
    for (int i = 0; i < 200000; i++) {
        v.push_back((double)pos(rng));
        v.push_back((double)small(rng));
    }
    EXPECT_EQ(mismatches(v), 0);
}
