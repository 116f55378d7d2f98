// SPDX-License-Identifier: GPL-3.0-or-later
// A replay file of any bytes, read; when it reads, written again and read
// back to the same replay, then raced for at most a few hundred of its
// steps on a small level with its draws put in place. Nothing may read or
// write outside an array, hang or abort.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "race/race.h"
#include "replay/replay.h"
#include "sim/sim.h"

static const char* level_path() {
    static char path[64] = "";
    if (!path[0]) {
        snprintf(path, sizeof path, "/tmp/chainball-fuzz-replay-%d.txt", (int)getpid());
        FILE* f = fopen(path, "wb");
        if (!f) abort();
        fputs("0006\n1==2..\nTxxTx.\nM..T..\nTx.T..\n4==3..\n......\n", f);
        fclose(f);
    }
    return path;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    replay r;
    std::string error;
    if (!parse_replay(text, r, error)) {
        if (error.empty()) abort();   // a refusal always says why
        return 0;
    }
    replay back;
    const std::string written = format_replay(r);
    if (!parse_replay(written, back, error) || format_replay(back) != written) abort();

    sim_options opt;
    opt.two_player = r.two_player;
    for (int i = 0; i < 3; i++) opt.lengths[i] = r.lengths[i];
    opt.laps = r.laps;
    opt.level_file = level_path();
    static Race race;
    static Track track;
    sim_setup(opt, race, track);
    apply_race_draws(r, race, track);
    script_position at;
    for (long long n = 0; n < r.result.steps && n < 300; n++) {
        race_step(race, track, input_of_script_keys(next_script_keys(r.keys, at)));
        race_checksum(race);
        if (race_over(race)) break;
    }
    return 0;
}
