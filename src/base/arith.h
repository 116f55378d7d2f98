// SPDX-License-Identifier: GPL-3.0-or-later
// The game's arithmetic: whole-pixel distances, whole-degree angles and the
// float-to-pixel truncation. Pure functions of their arguments, no SDL; the
// race rules depend on every result here to the last bit.
#pragma once

// Degrees <-> radians.
constexpr double DEG = 57.29577957855229;

int distance(int x1, int y1, int x2, int y2);
int wrap_degrees(int angle);
int wrap_degrees(double angle);
int direction_to(int x1, int y1, int x2, int y2);
float abs(float a, float b);
// The length of (dx, dy) as glibc's hypotf gives it, in plain IEEE
// operations, so that every C library agrees: the squares of floats are
// exact in double.
float float_length(float dx, float dy);

// Float pixel position to a whole pixel, truncated toward zero. Values past
// the int range saturate and a not-a-number reads as 0, so a damaged
// position can never make the conversion undefined.
inline int trunc_px(float v) {
    if (v >= -2147483648.0f && v < 2147483648.0f) return (int)v;
    if (v > 0.0f) return 2147483647;
    if (v < 0.0f) return -2147483647 - 1;
    return 0;
}
