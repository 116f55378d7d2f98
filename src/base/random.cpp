// SPDX-License-Identifier: GPL-3.0-or-later
// glibc's TYPE_3 generator: r[i] = r[i-3] + r[i-31], seeded by a Lehmer
// sequence, the first 310 values thrown away, each value shifted right by one.
#include "base/random.h"

Random make_random(uint32_t seed) {
    if (seed == 0) seed = 1;
    int32_t r[34 + 310];
    r[0] = (int32_t)seed;
    for (int i = 1; i < 31; i++) {
        // 16807 * r mod (2^31 - 1), without overflow (Schrage's method).
        const int32_t hi = r[i - 1] / 127773, lo = r[i - 1] % 127773;
        int32_t word = 16807 * lo - 2836 * hi;
        if (word < 0) word += 2147483647;
        r[i] = word;
    }
    for (int i = 31; i < 34; i++) r[i] = r[i - 31];
    for (int i = 34; i < 344; i++) r[i] = (int32_t)((uint32_t)r[i - 31] + (uint32_t)r[i - 3]);
    Random out;
    for (int i = 0; i < 34; i++) out.state[i] = (uint32_t)r[310 + i];
    out.next = 0;
    return out;
}

int random_next(Random& g) {
    // state[next] is 34 values back; 31 back is next + 3, 3 back is next + 31.
    const uint32_t v = g.state[(g.next + 3) % 34] + g.state[(g.next + 31) % 34];
    g.state[g.next] = v;
    g.next = (g.next + 1) % 34;
    return (int)(v >> 1);
}
