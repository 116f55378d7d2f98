// SPDX-License-Identifier: GPL-3.0-or-later
// Table lookups for the race's whole-degree sines and cosines, and its atan.
#include "base/trig.h"

#include <cmath>

#include "base/arith.h"

static const double* trig_row(int degrees) {
    if (degrees < TRIG_FIRST_DEGREE || degrees > TRIG_LAST_DEGREE) degrees = wrap_degrees(degrees);
    return trig_table[degrees - TRIG_FIRST_DEGREE];
}

double sine_of_degrees(int degrees) { return trig_row(degrees)[0]; }

double cosine_of_degrees(int degrees) { return trig_row(degrees)[1]; }

namespace {

struct pinned_atan {
    float quotient;
    double atan;
};

// The positive quotients (a negative one mirrors its positive): the atan a
// ties two floats, so the drag's float heading follows the last bit; and
// two whose atan times DEG lies within a unit of 90.
constexpr pinned_atan PINNED_ATANS[] = {
    {0x1.1ad646p-4f, 0x1.1a63850000000p-4},
    {0x1.09a9a8p+29f, 0x1.921fb53c8d4f0p+0},
    {0x1.09a9aap+29f, 0x1.921fb53c8d4f1p+0},
};

const pinned_atan* pinned(float q) {
    const float m = q < 0 ? -q : q;
    for (const pinned_atan& p : PINNED_ATANS)
        if (p.quotient == m) return &p;
    return nullptr;
}

}  // namespace

bool atan_is_pinned(float q) { return pinned(q) != nullptr; }

double atan_of_quotient(float q) {
    const pinned_atan* p = pinned(q);
    if (!p) return std::atan((double)q);
    return q < 0 ? -p->atan : p->atan;
}
