// SPDX-License-Identifier: GPL-3.0-or-later
// The cup file, a saved cup and the cups' records: TOML with toml++.
#include "config/cups.h"

#include <sstream>

#include "config/toml_text.h"
#include "core/files.h"

namespace {

bool fail(std::string& why, const std::string& line) {
    why = line;
    return false;
}

// A name fit for a label: printable ASCII, not blank.
bool plain_label(const std::string& s, size_t most) {
    if (s.empty() || s.size() > most || s[0] == ' ') return false;
    for (char c : s)
        if (c < ' ' || c > '~') return false;
    return true;
}

bool read_cup(const toml::table& t, const track_known& known, cup_def& cup, std::string& why) {
    const auto name = t["name"].value<std::string>();
    if (!name || !plain_label(*name, MAX_CUP_NAME))
        return fail(why, "needs a 'name' of 1 to " + std::to_string(MAX_CUP_NAME) + " printable characters");
    cup.name = *name;
    const toml::array* tracks = t["tracks"].as_array();
    if (!tracks) return fail(why, "needs 'tracks', a list of track names");
    if (tracks->empty()) return fail(why, "holds no track");
    if (tracks->size() > MAX_CUP_TRACKS)
        return fail(why, "holds " + std::to_string(tracks->size()) + " tracks; a cup holds at most " +
                             std::to_string(MAX_CUP_TRACKS));
    for (const toml::node& n : *tracks) {
        const auto track = n.value<std::string>();
        if (!track) return fail(why, "'tracks' must hold names in quotes");
        if (!known(*track)) return fail(why, "unknown track '" + printable(*track) + "'");
        cup.tracks.push_back(*track);
    }
    for (const auto& [key, value] : t)
        if (key.str() != "name" && key.str() != "tracks")
            return fail(why, "unknown key '" + printable(std::string(key.str())) + "'");
    return true;
}

}  // namespace

static bool parse_cup_list(const std::string& text, const track_known& known, std::vector<cup_def>& cups,
                           std::string& why) {
    toml::table doc;
    if (!parse_toml(text, doc, why)) return false;
    for (const auto& [key, value] : doc)
        if (key.str() != "cup") return fail(why, "unknown key '" + printable(std::string(key.str())) + "'");
    const toml::array* list = doc["cup"].as_array();
    if (!list || list->empty()) return fail(why, "no [[cup]] table");
    if (list->size() > MAX_CUPS) return fail(why, "more than " + std::to_string(MAX_CUPS) + " cups");
    for (const toml::node& n : *list) {
        const std::string which = "cup " + std::to_string(cups.size() + 1);
        cup_def cup;
        const toml::table* t = n.as_table();
        if (!t) return fail(why, which + " is not a table");
        if (!read_cup(*t, known, cup, why)) return fail(why, which + ": " + why);
        if (cup.name == CUSTOM_CUP) return fail(why, which + ": '" + cup.name + "' is the game's own");
        for (const cup_def& before : cups)
            if (before.name == cup.name) return fail(why, which + ": the name '" + cup.name + "' is taken");
        cups.push_back(cup);
    }
    return true;
}

bool parse_cups(const std::string& text, const track_known& known, std::vector<cup_def>& cups, std::string& why) {
    cups.clear();
    if (parse_cup_list(text, known, cups, why)) return true;
    cups.clear();
    return false;
}

bool read_cups(const std::string& path, const track_known& known, std::vector<cup_def>& cups, std::string& why) {
    std::string text;
    if (read_regular_file(path.c_str(), MAX_CUP_FILE_BYTES, text, why) && parse_cups(text, known, cups, why))
        return true;
    why = "cups " + printable(path, 200) + ": " + why;
    cups.clear();
    return false;
}

std::string cups_file_path() { return data_path("cups.toml"); }

// ---- A cup in progress ------------------------------------------------------

static std::string data_file(const char* name) {
    const std::string home = user_folder(UserFolder::data);
    return home.empty() ? "" : home + "/" + name;
}
std::string cup_save_path() { return data_file("cup.toml"); }
std::string cup_records_path() { return data_file("cup_records.toml"); }

std::string format_cup_progress(const cup_progress& p) {
    toml::array tracks, races;
    for (const std::string& t : p.cup.tracks) tracks.push_back(t);
    for (const CupRaceResult& r : p.races) {
        toml::array places, finished;
        for (int i = 0; i < RACERS; i++) {
            places.push_back(r.place[i]);
            finished.push_back((int64_t)r.finished[i]);
        }
        races.push_back(toml::table{{"places", std::move(places)}, {"finished", std::move(finished)}});
    }
    toml::table doc{{"cup", p.cup.name},
                    {"tracks", std::move(tracks)},
                    {"lengths", toml::array{p.lengths[0], p.lengths[1], p.lengths[2]}},
                    {"laps", p.laps},
                    {"two_players", p.two_players},
                    {"difficulty", p.difficulty},
                    {"off_road", p.off_road},
                    {"race", std::move(races)}};
    std::ostringstream out;
    out << "# A cup in progress, kept by the full game between its races.\n\n" << doc << "\n";
    return out.str();
}

// Three whole numbers from lo to hi.
static bool three(const toml::node_view<const toml::node>& n, long long lo, long long hi, long long out[RACERS]) {
    const toml::array* a = n.as_array();
    if (!a || a->size() != RACERS) return false;
    for (int i = 0; i < RACERS; i++) {
        const auto v = (*a)[i].value<int64_t>();
        if (!v || *v < lo || *v > hi) return false;
        out[i] = *v;
    }
    return true;
}

// Each race's places: 1 to the racers' count, once each, for the racers taking part.
static bool read_race(const toml::table& t, const cup_progress& p, CupRaceResult& r) {
    long long places[RACERS], finished[RACERS];
    const toml::node_view<const toml::node> view(t);
    if (!three(view["places"], 0, RACERS, places) || !three(view["finished"], 0, 50LL * 60 * 60 * 24, finished))
        return false;
    int taking_part = 0, seen = 0;
    for (int i = 0; i < RACERS; i++) {
        if ((p.lengths[i] > 0) != (places[i] > 0)) return false;
        taking_part += p.lengths[i] > 0;
        if (places[i] > 0) seen |= 1 << (places[i] - 1);
        r.place[i] = (int)places[i];
        r.finished[i] = finished[i];
    }
    return seen == (1 << taking_part) - 1;
}

static bool read_setup(const toml::table& doc, cup_progress& p) {
    const toml::node_view<const toml::node> view(doc);
    long long lengths[RACERS];
    if (!three(view["lengths"], 0, MAX_BALLS, lengths) || lengths[0] < 1) return false;
    for (int i = 0; i < RACERS; i++) p.lengths[i] = (int)lengths[i];
    const auto laps = doc["laps"].value<int64_t>();
    const auto two = doc["two_players"].value<bool>();
    const auto difficulty = doc["difficulty"].value<int64_t>();
    const auto off_road = doc["off_road"].value<int64_t>();
    if (!laps || *laps < 1 || *laps > 999 || !two || !difficulty || *difficulty < 0 || *difficulty > 2 ||
        !off_road || *off_road < 0 || *off_road > 1 || (*two && p.lengths[1] < 1))
        return false;
    p.laps = (int)*laps;
    p.two_players = *two;
    p.difficulty = (int)*difficulty;
    p.off_road = (int)*off_road;
    return true;
}

bool parse_cup_progress(const std::string& text, cup_progress& p, std::string& why) {
    p = cup_progress();
    toml::table doc;
    if (!parse_toml(text, doc, why)) return false;
    const auto name = doc["cup"].value<std::string>();
    const toml::array* tracks = doc["tracks"].as_array();
    if (!name || !plain_label(*name, MAX_CUP_NAME) || !tracks || tracks->empty() || tracks->size() > MAX_CUP_TRACKS)
        return fail(why, "no cup and tracks");
    p.cup.name = *name;
    for (const toml::node& n : *tracks) {
        const auto t = n.value<std::string>();
        if (!t || !plain_label(*t, 49)) return fail(why, "a track that is no name");
        p.cup.tracks.push_back(*t);
    }
    if (!read_setup(doc, p)) return fail(why, "the races' set-up is out of its bounds");
    const toml::array* races = doc["race"].as_array();
    if (!races || races->empty() || races->size() >= p.cup.tracks.size())
        return fail(why, "no race run, or the cup is over");
    for (const toml::node& n : *races) {
        CupRaceResult r;
        if (!n.as_table() || !read_race(*n.as_table(), p, r)) return fail(why, "a race's places do not add up");
        p.races.push_back(r);
    }
    return true;
}

// ---- The cups' records ------------------------------------------------------

std::vector<cup_record> parse_cup_records(const std::string& text, std::string& why) {
    std::vector<cup_record> list;
    why.clear();
    toml::table doc;
    if (!parse_toml(text, doc, why)) return list;
    const toml::array* records = doc["record"].as_array();
    if (!records) return list;
    size_t left_out = 0;
    for (const toml::node& n : *records) {
        const toml::table* t = n.as_table();
        left_out++;
        if (!t || list.size() >= MAX_CUPS * 100) continue;
        cup_record e;
        const auto cup = (*t)["cup"].value<std::string>();
        const auto difficulty = (*t)["difficulty"].value<int64_t>(), length = (*t)["length"].value<int64_t>(),
                   laps = (*t)["laps"].value<int64_t>(), position = (*t)["position"].value<int64_t>(),
                   steps = (*t)["steps"].value<int64_t>();
        // An entry out of its bounds is left out; the others stand.
        if (!cup || !plain_label(*cup, MAX_CUP_NAME) || !difficulty || *difficulty < 0 || *difficulty > 2 ||
            !length || *length < 1 || *length > MAX_BALLS || !laps || *laps < 1 || *laps > 999 || !position ||
            *position < 1 || *position > RACERS || !steps || *steps < 0)
            continue;
        left_out--;
        e.cup = *cup;
        e.difficulty = (int)*difficulty;
        e.length = (int)*length;
        e.laps = (int)*laps;
        e.position = (int)*position;
        e.steps = *steps;
        e.date = (*t)["date"].value_or(std::string());
        if (!plain_label(e.date, 40)) e.date.clear();
        offer_cup_record(list, e);
    }
    if (left_out > 0)
        why = std::to_string(left_out) + (left_out == 1 ? " entry" : " entries") + " out of bounds left out";
    return list;
}

std::string format_cup_records(const std::vector<cup_record>& list) {
    toml::array records;
    for (const cup_record& e : list)
        records.push_back(toml::table{{"cup", e.cup},
                                      {"difficulty", e.difficulty},
                                      {"length", e.length},
                                      {"laps", e.laps},
                                      {"position", e.position},
                                      {"steps", (int64_t)e.steps},
                                      {"date", e.date}});
    std::ostringstream out;
    out << "# The best result in each cup, kept by the full game.\n\n" << toml::table{{"record", std::move(records)}}
        << "\n";
    return out.str();
}

bool offer_cup_record(std::vector<cup_record>& list, const cup_record& done) {
    for (cup_record& e : list) {
        if (e.cup != done.cup || e.difficulty != done.difficulty || e.length != done.length || e.laps != done.laps)
            continue;
        const bool better_place = done.position < e.position;
        const bool better_time = done.steps > 0 && (e.steps == 0 || done.steps < e.steps);
        if (better_place) e.position = done.position;
        if (better_time) e.steps = done.steps;
        if (better_place || better_time) e.date = done.date;
        return better_place || better_time;
    }
    list.push_back(done);
    return true;
}

track_known catalogue_tracks() {
    return [](const std::string& name) {
        for (int i = 0; i <= last_level_index && i < MAX_LEVELS; i++)
            if (name == level_names[i]) return true;
        return false;
    };
}
