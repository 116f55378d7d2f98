// SPDX-License-Identifier: GPL-3.0-or-later
// Table lookups for the race's whole-degree sines and cosines.
#include "base/trig.h"

#include "base/arith.h"

static const double* trig_row(int degrees) {
    if (degrees < TRIG_FIRST_DEGREE || degrees > TRIG_LAST_DEGREE) degrees = wrap_degrees(degrees);
    return trig_table[degrees - TRIG_FIRST_DEGREE];
}

double sine_of_degrees(int degrees) { return trig_row(degrees)[0]; }

double cosine_of_degrees(int degrees) { return trig_row(degrees)[1]; }
