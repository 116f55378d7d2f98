// SPDX-License-Identifier: GPL-3.0-or-later
// The cup readers on any bytes (the first picks the reader: the cup file, a
// saved cup, the cups' records): every cause is one printable line, what a
// cup file gives is within its limits, and a save or the records kept
// write out as text that reads back the same.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/cups.h"

static void one_printable_line(const std::string& s) {
    for (unsigned char ch : s)
        if (ch < 0x20 || ch >= 0x7f) abort();
}

static void cup_file(const std::string& text) {
    const track_known known = [](const std::string& name) { return name == "FirstLoop" || name == "StepDown"; };
    std::vector<cup_def> cups;
    std::string why;
    if (!parse_cups(text, known, cups, why)) {
        one_printable_line(why);
        if (why.empty() || !cups.empty()) abort();
        return;
    }
    if (cups.empty() || cups.size() > MAX_CUPS) abort();
    for (const cup_def& c : cups) {
        if (c.name.empty() || c.name.size() > MAX_CUP_NAME || c.tracks.empty() || c.tracks.size() > MAX_CUP_TRACKS)
            abort();
        one_printable_line(c.name);
        for (const std::string& t : c.tracks)
            if (!known(t)) abort();
    }
}

static void saved_cup(const std::string& text) {
    cup_progress p, back;
    std::string why;
    if (!parse_cup_progress(text, p, why)) {
        one_printable_line(why);
        return;
    }
    if (p.races.empty() || p.races.size() >= p.cup.tracks.size()) abort();
    const std::string written = format_cup_progress(p);
    if (!parse_cup_progress(written, back, why) || format_cup_progress(back) != written) abort();
}

static void cup_records(const std::string& text) {
    std::string why;
    const std::vector<cup_record> list = parse_cup_records(text, why);
    one_printable_line(why);
    const std::string written = format_cup_records(list);
    const std::vector<cup_record> back = parse_cup_records(written, why);
    if (!why.empty() || format_cup_records(back) != written) abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string text((const char*)data + 1, size - 1);
    switch (data[0] % 3) {
        case 0: cup_file(text); break;
        case 1: saved_cup(text); break;
        default: cup_records(text); break;
    }
    return 0;
}
