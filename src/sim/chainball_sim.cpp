// SPDX-License-Identifier: GPL-3.0-or-later
// chainball-sim: replays a race on one level without a window or sound.
#include <cstdio>

#include "sim/sim.h"

int main(int argc, char** argv) {
    return sim_main(argc, argv, stdout, stderr);
}
