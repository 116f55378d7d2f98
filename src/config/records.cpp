// SPDX-License-Identifier: GPL-3.0-or-later
// The records file: TOML read and written with toml++.
#include "config/records.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "core/files.h"

#include "config/toml_text.h"

std::string records_path() {
    const std::string home = user_folder(UserFolder::data);
    return home.empty() ? "" : home + "/records.toml";
}

namespace {

// Plain printable names only: they come back as file names and labels.
bool plain_name(const std::string& s, size_t most) {
    if (s.empty() || s.size() > most || s[0] == '.') return false;
    for (char c : s)
        if (c <= ' ' || c > '~' || c == '/' || c == '\\') return false;
    return true;
}

bool hex64(const std::string& s) {
    if (s.size() != 64) return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

bool refuse(std::string& why, const char* reason) {
    why = reason;
    return false;
}

// One [[record]] table into `e`; false with the reason.
bool read_entry(const toml::table& t, record_entry& e, std::string& why) {
    auto str = [&t](const char* key, std::string& out) {
        const auto v = t[key].value<std::string>();
        if (!v) return false;
        out = *v;
        return true;
    };
    auto num = [&t](const char* key, long long lo, long long hi, long long& out) {
        const auto v = t[key].value<int64_t>();
        if (!v || *v < lo || *v > hi) return false;
        out = *v;
        return true;
    };
    std::string kind;
    long long laps, length, steps, lap = 0, from = 0;
    if (!str("track", e.track) || !plain_name(e.track, 49)) return refuse(why, "no usable 'track'");
    if (!str("track_sha256", e.track_sha256) || !hex64(e.track_sha256))
        return refuse(why, "'track_sha256' must be 64 lower-case hex digits");
    if (!num("laps", 1, 999, laps)) return refuse(why, "'laps' must be a whole number from 1 to 999");
    if (!num("length", 1, 10, length)) return refuse(why, "'length' must be a whole number from 1 to 10");
    if (!str("kind", kind) || (kind != "lap" && kind != "race"))
        return refuse(why, "'kind' must be \"lap\" or \"race\"");
    if (!num("steps", 1, 50LL * 60 * 60 * 24, steps)) return refuse(why, "'steps' must be a whole number from 1 to 4320000");
    e.kind = kind == "lap" ? record_kind::lap : record_kind::race;
    if (e.kind == record_kind::lap &&
        (!num("lap", 1, laps, lap) || !num("from_step", 0, 50LL * 60 * 60 * 24, from)))
        return refuse(why, "a lap record needs 'lap' (1 to its laps) and 'from_step'");
    e.laps = (int)laps;
    e.length = (int)length;
    e.steps = steps;
    e.lap = (int)lap;
    e.from_step = from;
    // Records from before the off-road rule were raced under Free.
    std::string rule = "free";
    if (t.contains("off_road") && (!str("off_road", rule) || (rule != "free" && rule != "slows")))
        return refuse(why, "'off_road' must be \"free\" or \"slows\"");
    e.off_road_slows = rule == "slows";
    if (!str("date", e.date) || e.date.size() > 40) e.date.clear();
    if (!str("replay", e.replay) || !plain_name(e.replay, 200)) e.replay.clear();
    return true;
}

bool same_slot(const record_entry& a, const record_entry& b) {
    return a.track == b.track && a.laps == b.laps && a.length == b.length && a.kind == b.kind &&
           a.off_road_slows == b.off_road_slows;
}

}  // namespace

records parse_records(const std::string& text, std::vector<std::string>& problems) {
    records r;
    toml::table doc;
    std::string problem;
    if (!parse_toml(text, doc, problem)) {
        problems.push_back("not TOML (" + problem + ")");
        return r;
    }
    const toml::array* list = doc["record"].as_array();
    if (!list) {
        if (doc.contains("record")) problems.push_back("'record' must be a list of [[record]] tables");
        return r;
    }
    size_t index = 0;
    for (const toml::node& n : *list) {
        index++;
        record_entry e;
        std::string why;
        const toml::table* t = n.as_table();
        if (!t) why = "not a table";
        else if (r.entries.size() >= MAX_RECORDS) why = "more than " + std::to_string(MAX_RECORDS) + " records";
        if (why.empty() && read_entry(*t, e, why)) {
            const record_entry* same = find_record(r, e.track, e.laps, e.length, e.kind, e.off_road_slows);
            if (!same) {
                r.entries.push_back(e);
                continue;
            }
            why = "a second record for the same track, laps, length, kind and off-road rule";
        }
        problems.push_back("record " + std::to_string(index) + ": " + why + "; left out");
    }
    return r;
}

records read_records(const std::string& path, FILE* err) {
    if (path.empty()) return records();
    std::string text, why;
    const std::string shown = printable(path, 200);
    if (!read_regular_file(path.c_str(), MAX_RECORDS_BYTES, text, why)) {
        if (why != "no such file" && err)
            std::fprintf(err, "chainball: records %s: %s; starting without records\n", shown.c_str(), why.c_str());
        return records();
    }
    std::vector<std::string> problems;
    records r = parse_records(text, problems);
    for (const std::string& p : problems)
        if (err) std::fprintf(err, "chainball: records %s: %s\n", shown.c_str(), p.c_str());
    return r;
}

std::string format_records(const records& r) {
    toml::array list;
    for (const record_entry& e : r.entries) {
        toml::table t{{"track", e.track},
                      {"track_sha256", e.track_sha256},
                      {"laps", e.laps},
                      {"length", e.length},
                      {"kind", e.kind == record_kind::lap ? "lap" : "race"},
                      {"steps", (int64_t)e.steps}};
        if (e.kind == record_kind::lap) {
            t.insert("lap", e.lap);
            t.insert("from_step", (int64_t)e.from_step);
        }
        if (e.off_road_slows) t.insert("off_road", "slows");
        if (!e.date.empty()) t.insert("date", e.date);
        if (!e.replay.empty()) t.insert("replay", e.replay);
        list.push_back(std::move(t));
    }
    toml::table doc{{"record", std::move(list)}};
    std::ostringstream out;
    out << "# Chainball's records, kept by the full game (chainball --extras).\n"
           "# steps are 20 ms each; each replay file lies beside this one.\n\n"
        << doc << "\n";
    return out.str();
}

bool write_records(const std::string& path, const records& r, FILE* err) {
    std::string why;
    if (path.empty()) {
        std::fprintf(err, "chainball: no home folder: HOME and XDG_DATA_HOME are not set to absolute "
                          "paths; records are not kept\n");
        return false;
    }
    if (write_file_atomically(path, format_records(r), why)) return true;
    std::fprintf(err, "chainball: cannot save records to %s: %s\n", printable(path, 200).c_str(), why.c_str());
    return false;
}

const record_entry* find_record(const records& r, const std::string& track, int laps, int length,
                                record_kind kind, bool off_road_slows) {
    for (const record_entry& e : r.entries)
        if (e.track == track && e.laps == laps && e.length == length && e.kind == kind &&
            e.off_road_slows == off_road_slows)
            return &e;
    return nullptr;
}

bool offer_record(records& r, const record_entry& candidate, const record_check& trusted) {
    for (record_entry& e : r.entries) {
        if (!same_slot(e, candidate)) continue;
        if (e.track_sha256 == candidate.track_sha256 && e.steps <= candidate.steps && (!trusted || trusted(e)))
            return false;
        e = candidate;
        return true;
    }
    if (r.entries.size() >= MAX_RECORDS) return false;
    r.entries.push_back(candidate);
    return true;
}

save_result save_new_records(const std::string& path, const std::vector<record_entry>& fresh,
                             const record_check& trusted, records& now, std::vector<std::string>& gone,
                             FILE* err) {
    gone.clear();
    if (path.empty()) return write_records(path, records(), err) ? save_result::written : save_result::failed;
    const int lock = lock_for_saving(path, "records", "the new ones are tried again with the next record", err);
    if (lock < 0) return save_result::locked;
    // Another game may have written since this one read: its records count.
    const records before = read_records(path, nullptr);
    now = before;
    bool changed = false;
    for (const record_entry& e : fresh) changed = offer_record(now, e, trusted) || changed;
    const bool written = !changed || write_records(path, now, err);
    unlock_beside(lock);
    if (!written) now = before;
    auto listed = [](const std::vector<record_entry>& list, const std::string& replay) {
        for (const record_entry& e : list)
            if (e.replay == replay) return true;
        return false;
    };
    for (const std::vector<record_entry>* list : {&before.entries, &fresh})
        for (const record_entry& e : *list)
            if (!e.replay.empty() && !listed(now.entries, e.replay) &&
                std::find(gone.begin(), gone.end(), e.replay) == gone.end())
                gone.push_back(e.replay);
    return written ? save_result::written : save_result::failed;
}
