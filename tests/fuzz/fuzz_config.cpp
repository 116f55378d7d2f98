// SPDX-License-Identifier: GPL-3.0-or-later
// The settings reader on any bytes: every value it keeps is in range, no key
// is bound twice, every problem is one printable line, and what it keeps
// writes out as a file that reads back the same without a problem.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/config.h"

static bool in(int v, int lo, int hi) { return v >= lo && v <= hi; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> problems;
    const game_config c = parse_config(std::string((const char*)data, size), problems);
    for (const std::string& p : problems)
        for (unsigned char ch : p)
            if (ch < 0x20 || ch >= 0x7f) abort();
    if (!in(c.chain_length[0], 1, 10) || !in(c.chain_length[1], 0, 10) || !in(c.chain_length[2], 0, 10) ||
        !in(c.laps, 1, MAX_CONFIG_LAPS) || !in(c.scale, 1, 4) || !in(c.pad_choose, 0, MAX_PAD_BUTTONS - 1) ||
        !in(c.pad_back, 0, MAX_PAD_BUTTONS - 1) || !in(c.pad_start, -1, MAX_PAD_BUTTONS - 1) ||
        !in(c.recordings_kept, 1, MAX_RECORDINGS_KEPT) || c.track.size() > MAX_TRACK_NAME)
        abort();
    const binding* all[9] = {&c.drive[0][0], &c.drive[0][1], &c.drive[0][2], &c.drive[0][3], &c.drive[1][0],
                             &c.drive[1][1], &c.drive[1][2], &c.drive[1][3], &c.pause};
    for (int i = 0; i < 9; i++) {
        binding back;
        if (!binding_from_name(binding_name(*all[i]), back) || !(back == *all[i])) abort();
        for (int j = 0; j < i; j++)
            if (all[i]->kind == all[j]->kind && all[i]->code == all[j]->code) abort();
    }
    const std::string text = format_config(c);
    std::vector<std::string> again;
    const game_config back = parse_config(text, again);
    if (!again.empty() || format_config(back) != text) abort();
    return 0;
}
