// SPDX-License-Identifier: GPL-3.0-or-later
// Sine and cosine of whole degrees, as the race takes them: of the radians
// d / DEG, with fixed bits from a table rather than the C library, whose
// last bit differs between libraries. See docs/determinism.md.
#pragma once

// Every whole degree the race asks for: headings 0..359, and -90..270 for
// the push between two balls.
constexpr int TRIG_FIRST_DEGREE = -90;
constexpr int TRIG_LAST_DEGREE = 359;

// {sin, cos} of d / DEG, row d - TRIG_FIRST_DEGREE (src/base/trig_table.cpp,
// written by tools/make_trig_table.py).
extern const double trig_table[TRIG_LAST_DEGREE - TRIG_FIRST_DEGREE + 1][2];

// A degree outside the table (no race rule makes one) is first wrapped
// into 0..359: the same bits on every machine, never the C library's.
double sine_of_degrees(int degrees);
double cosine_of_degrees(int degrees);

// atan of a float quotient, as the race's chains take it. What they keep of
// it is the same with any C library within one unit of the true value,
// except at a few quotients that sit on a rounding edge of the kept result;
// those are pinned to the bits recorded replays were made with
// (tools/check_libm.cpp finds them; docs/determinism.md).
double atan_of_quotient(float q);
// True for a quotient whose atan is pinned.
bool atan_is_pinned(float q);
