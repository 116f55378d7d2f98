// SPDX-License-Identifier: GPL-3.0-or-later
// chainball-sim's whole command run in this process, for the simulator and
// replay tests.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "harness.h"
#include "sim/sim.h"

struct sim_run {
    int status;
    std::string out, err;
};

// Runs the simulator on `args` (argv[0] is added) and collects its output.
inline sim_run sim(std::vector<std::string> args) {
    args.insert(args.begin(), "chainball-sim");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    FILE* out = tmpfile();
    FILE* err = tmpfile();
    sim_run r;
    r.status = sim_main((int)argv.size(), argv.data(), out, err);
    r.out = read_back(out);
    r.err = read_back(err);
    return r;
}
