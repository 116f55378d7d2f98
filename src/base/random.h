// SPDX-License-Identifier: GPL-3.0-or-later
// The random draws of a race set-up, as a value: a copy goes on from where
// the original stood, and two generators never share anything. For a seed
// it gives the same numbers as the C library's srand()/rand() on glibc, so
// seeds given to chainball-sim and the tests keep their meaning.
#pragma once

#include <cstdint>

struct Random {
    uint32_t state[34];   // the last 34 values of the additive feedback sequence
    int next;             // where the next value goes in `state`, 0..33
};

// Seeds as srand(seed) does (a seed of 0 counts as 1).
Random make_random(uint32_t seed);

// The next number from 0 to 2147483647, as rand() gives it.
int random_next(Random& r);
