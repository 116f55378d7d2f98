// SPDX-License-Identifier: GPL-3.0-or-later
// Shows that what the race keeps from its atan and atan2 calls is the same
// with any C library whose result is within one unit in the last place of
// the true value (glibc, musl, and the others in use): over every input the
// race can give, the kept result does not change when this machine's
// result moves one unit either way. And that float_length, which the race
// uses for hypotf, gives this machine's hypotf bits. Run by `make determinism-check`; the
// reasoning is in docs/determinism.md.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

#include "base/arith.h"
#include "base/trig.h"

namespace {

constexpr double INF = std::numeric_limits<double>::infinity();

// What the chain's drag keeps of atan(q): the heading it stores, a float.
uint32_t drag_heading_bits(double t) {
    float h = (float)t;
    h = (float)(h * DEG);
    uint32_t bits;
    std::memcpy(&bits, &h, sizeof bits);
    return bits;
}

// What a push keeps: the whole degree, truncated.
int push_degrees(double t) { return (int)(DEG * t); }

template <typename Kept>
bool steady(double t, Kept kept) {
    const auto k = kept(t);
    return kept(std::nextafter(t, -INF)) == k && kept(std::nextafter(t, INF)) == k;
}

// Every float quotient from +0 to +infinity; a negative one mirrors its
// positive, as do the true values and every rounding to nearest. atan(0) is
// exactly 0 in every library; the pinned quotients must keep this
// machine's bits.
int check_atan() {
    uint64_t drag_flips = 0, push_flips = 0, count = 0, pinned = 0;
    for (uint32_t bits = 0; bits <= 0x7f800000u; bits++) {
        float q;
        std::memcpy(&q, &bits, sizeof q);
        const double t = atan_of_quotient(q);
        count++;
        if (atan_is_pinned(q)) {
            pinned++;
            if (t != std::atan((double)q)) drag_flips++, std::printf("  pinned atan(%a) is not this machine's\n", (double)q);
            continue;
        }
        if (q == 0) continue;
        if (!steady(t, drag_heading_bits)) {
            if (drag_flips++ < 10) std::printf("  drag heading moves at q = %a\n", (double)q);
        }
        if (!steady(t, push_degrees)) {
            if (push_flips++ < 10) std::printf("  push degree moves at q = %a\n", (double)q);
        }
    }
    std::printf("atan: %" PRIu64 " float quotients (and their negatives), %" PRIu64
                " pinned: elsewhere the drag's heading moves at %" PRIu64 ", the push's degree at %" PRIu64 "\n",
                count, pinned, drag_flips, push_flips);
    return drag_flips || push_flips ? 1 : 0;
}

// direction_to: whole-pixel differences between a head (0..50 x 499 after
// the clamp, a little more at the start) and a waypoint (50..25000), with
// room to spare. Neither difference is 0 (that answers 180 at once); a
// negative dx mirrors its positive.
int check_atan2() {
    constexpr int REACH = 26000;
    uint64_t flips = 0, count = 0;
    for (int dx = 1; dx <= REACH; dx++)
        for (int dy = -REACH; dy <= REACH; dy++) {
            if (dy == 0) continue;
            const double t = std::atan2((double)dx, (double)dy);
            count++;
            if (!steady(t, [](double a) { return (int)(a * DEG); })) {
                if (flips++ < 10) std::printf("  direction moves at (%d, %d)\n", dx, dy);
            }
        }
    std::printf("atan2: %" PRIu64 " pixel differences: the direction moves at %" PRIu64 "\n", count, flips);
    return flips ? 1 : 0;
}

// float_length against this machine's hypotf: pairs of random finite
// floats, half of them anywhere, half from 2 to 2^25 as race positions are.
int check_hypotf() {
    std::mt19937_64 random(7);
    uint64_t differ = 0, count = 0;
    for (int i = 0; i < 200000000; i++) {
        const uint64_t r = random();
        uint32_t a = (uint32_t)r & 0x7fffffffu, b = (uint32_t)(r >> 32) & 0x7fffffffu;
        if (i & 1) a = 0x40000000u + a % 0x0c000000u, b = 0x40000000u + b % 0x0c000000u;
        float x, y;
        std::memcpy(&x, &a, sizeof x);
        std::memcpy(&y, &b, sizeof y);
        if (!std::isfinite(x) || !std::isfinite(y)) continue;
        count++;
        const float want = std::hypot(x, y), got = float_length(x, y);
        if (std::memcmp(&want, &got, sizeof want) != 0) {
            if (differ++ < 10) std::printf("  float_length differs at (%a, %a)\n", (double)x, (double)y);
        }
    }
    std::printf("hypotf: %" PRIu64 " float pairs: float_length differs at %" PRIu64 "\n", count, differ);
    return differ ? 1 : 0;
}

}  // namespace

int main() {
    const int faults = check_hypotf() + check_atan2() + check_atan();
    std::printf("%d passed, %d failed\n", 3 - faults, faults);
    return faults ? 1 : 0;
}
