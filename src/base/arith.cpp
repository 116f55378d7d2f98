// SPDX-License-Identifier: GPL-3.0-or-later
// Distances and angles in whole pixels and whole degrees.
#include "base/arith.h"

#include <cmath>

int distance(int x1, int y1, int x2, int y2) {
    // Differences in 64 bits: positions far outside the track must not overflow.
    long long dx = (long long)x1 - x2, dy = (long long)y1 - y2;
    if (dx < 0) dx = -dx;
    if (dy < 0) dy = -dy;
    double d = std::sqrt(std::pow((double)dx, 2.0) + std::pow((double)dy, 2.0));
    if (!(d < 2147483647.0)) return 2147483647;
    return (int)d;
}

int wrap_degrees(int a) {
    if (a < -360) a = a - (a / 360) * 360;
    if (a < 0) a = a + 360;
    return a - (a / 360) * 360;
}

int wrap_degrees(double d) {
    // Values beyond int (or not a number) have no whole degree; treat them as 0.
    if (!(d > -2147483648.0 && d < 2147483648.0)) return 0;
    return wrap_degrees((int)d);
}

int direction_to(int x1, int y1, int x2, int y2) {
    if (x1 == x2 || y1 == y2) return 180;
    double a = std::atan2((double)x1 - (double)x2, (double)y1 - (double)y2);
    return (int)(a * DEG) + 180;
}

float abs(float a, float /*b*/) {
    return a < 0.0f ? -a : a;
}

float float_length(float dx, float dy) {
    if (std::isinf(dx) || std::isinf(dy)) return INFINITY;
    return (float)std::sqrt((double)dx * dx + (double)dy * dy);
}
