// SPDX-License-Identifier: GPL-3.0-or-later
// The records reader on any bytes: every record it keeps is within the
// file's limits and alone in its slot, every problem is one printable line,
// and what it keeps writes out as a file that reads back the same without a
// problem.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/records.h"

static bool plain(const std::string& s) {
    for (unsigned char ch : s)
        if (ch <= 0x20 || ch >= 0x7f || ch == '/') return false;
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> problems;
    const records r = parse_records(std::string((const char*)data, size), problems);
    for (const std::string& p : problems)
        for (unsigned char ch : p)
            if (ch < 0x20 || ch >= 0x7f) abort();
    if (r.entries.size() > MAX_RECORDS) abort();
    for (const record_entry& e : r.entries) {
        if (e.track.empty() || !plain(e.track) || !plain(e.replay) || e.track_sha256.size() != 64) abort();
        if (e.laps < 1 || e.laps > 999 || e.length < 1 || e.length > 10 || e.steps < 1) abort();
        if (e.kind == record_kind::lap && (e.lap < 1 || e.lap > e.laps || e.from_step < 0)) abort();
        if (find_record(r, e.track, e.laps, e.length, e.kind, e.off_road_slows) != &e) abort();
    }
    const std::string text = format_records(r);
    std::vector<std::string> again;
    const records back = parse_records(text, again);
    if (!again.empty() || format_records(back) != text) abort();
    return 0;
}
