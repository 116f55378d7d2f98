// SPDX-License-Identifier: GPL-3.0-or-later
// chainball-sim --synctest N: the race offline, rolled back N steps after
// every step through the online session's own save and re-run, each state
// compared with a plain run. A race that differs names its first step and
// field, so whatever a rollback fails to restore shows at once.
#include <memory>

#include "core/files.h"
#include "net/net_race.h"
#include "sim/sim.h"
#include "track/track.h"

int run_sync_test(const sim_options& opt, FILE* out, FILE* err) {
    std::vector<sim_segment> script;
    if (!read_sim_script(opt, script, err)) return 2;
    if (!check_level_file(opt, err)) return 2;
    long long steps = opt.steps;
    if (steps < 0) {
        steps = 0;
        for (const auto& s : script) steps += s.count;
    }
    std::unique_ptr<Track> track(new Track);
    online_race start;
    sim_setup(opt, start.race, *track);
    start.track = track.get();
    // Both players drive from the script, as two machines online would.
    std::vector<uint8_t> inputs;
    script_position at;
    for (long long n = 0; n < steps; n++) {
        const RaceInput in = input_of_script_keys(next_script_keys(script, at));
        inputs.push_back(in.player[0]);
        inputs.push_back(in.player[1]);
    }
    const sync_test_result r = online_sync_test(start, online_race_ops(), inputs, opt.synctest);
    if (r.differ_step >= 0) {
        std::fprintf(err, "chainball-sim: synctest %d on '%s': step %lld differs in %s after rolling back\n",
                     opt.synctest, printable(opt.level_file, 200).c_str(), r.differ_step, r.field.c_str());
        return 3;
    }
    std::fprintf(out, "synctest %d: %lld steps, each followed by a rollback of %d: every state as first run\n",
                 opt.synctest, r.steps, opt.synctest);
    return 0;
}
