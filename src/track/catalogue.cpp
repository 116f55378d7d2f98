// SPDX-License-Identifier: GPL-3.0-or-later
// The level catalogue: names, each closed by '#', whitespace carrying no
// meaning. Read once at start-up.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/files.h"
#include "core/state.h"
#include "track/track.h"
#include "track/track_local.h"

// A name is used to build a path inside the level folder, so it may not
// name another folder or climb out of this one.
static bool safe_name(const char* name) {
    return name[0] != '.' && !std::strchr(name, '/') && !std::strchr(name, '\\');
}

// Clears entry `entry` when its name is unsafe; true when it was.
static bool drop_unsafe(const char* path, int entry) {
    char* name = level_names[entry];
    if (safe_name(name)) return false;
    std::fprintf(stderr,
                 "chainball: level catalogue %s: track name \"%s\" skipped: a name may not "
                 "hold '/' or '\\' or start with '.'\n",
                 printable(path, 200).c_str(), printable(name).c_str());
    std::memset(name, 0, LEVEL_NAME_LEN);
    return true;
}

void read_catalogue() { read_catalogue(data_path("levelit/all_levels.txt").c_str()); }

void read_catalogue(const char* path) {
    std::memset(level_names, 0, sizeof level_names);
    last_level_index = 0;

    std::string why;
    FILE* f = open_regular_file(path, MAX_CATALOGUE_BYTES, why);
    if (!f)
        std::fprintf(stderr, "chainball: level catalogue %s: %s; no tracks offered\n", printable(path, 200).c_str(),
                     why.c_str());
    int entry = 0;
    int pos = 0;
    char c = 0;
    while (f && read_nonblank(f, c)) {
        if (c == '#') {
            // Names past the table's last entry are dropped, and so are
            // their '#', so last_level_index never names a missing entry.
            // So are unsafe names: the next name takes their place.
            if (entry < MAX_LEVELS && !drop_unsafe(path, entry)) {
                entry++;
                last_level_index++;
            }
            pos = 0;
        } else if (entry < MAX_LEVELS && pos < LEVEL_NAME_LEN - 1) {
            // A long name is cut short: each entry keeps its closing zero.
            level_names[entry][pos++] = c;
        }
    }
    if (f) std::fclose(f);
    // Text after the last '#' is offered when there is no '#' at all.
    if (entry < MAX_LEVELS) drop_unsafe(path, entry);
    last_level_index--;
}

const char* level_name_at(int i) {
    if (i < 0 || i >= MAX_LEVELS) return "";
    return level_names[i];
}

const char* chosen_level_name() { return level_name_at(race_settings.level_index); }

int wrapped_level_index(int level) {
    if (level > last_level_index) level = 0;
    if (level < 0) level = last_level_index >= 0 ? last_level_index : 0;
    return level;
}

const char* next_level_name() {
    if (last_level_index < 0) return "";
    const int i = wrapped_level_index(race_settings.level_index + 1);
    return i < MAX_LEVELS ? level_names[i] : "";
}

std::string level_file_path(const char* name) {
    return data_path("levelit/" + std::string(name, strnlen(name, LEVEL_NAME_LEN - 1)) + ".txt");
}

std::string level_file_at(int i) {
    return track_file_override ? track_file_override : level_file_path(level_name_at(i));
}

std::string chosen_level_file() { return level_file_at(race_settings.level_index); }

void wrap_level_index() {
    race_settings.level_index = wrapped_level_index(race_settings.level_index);
}

std::string level_name_of_file(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0) name.resize(name.size() - 4);
    return name;
}

std::string track_name_fault(const std::string& name) {
    if (name.empty()) return "it is empty";
    if (name.size() > LEVEL_NAME_LEN - 1)
        return "it is longer than " + std::to_string(LEVEL_NAME_LEN - 1) + " characters";
    if (name[0] == '.') return "it starts with '.'";
    for (char c : name) {
        if (c == ' ') return "it holds a space";
        if (c <= ' ' || c > '~') return "it holds a byte that is not printable ASCII";
        if (c == '/' || c == '\\' || c == '#') return std::string("it holds '") + c + "'";
    }
    return "";
}

void catalogue_of_one_file(const char* path) {
    std::memset(level_names, 0, sizeof level_names);
    std::snprintf(level_names[0], LEVEL_NAME_LEN, "%s", level_name_of_file(path).c_str());
    last_level_index = 0;
    race_settings.level_index = 0;
    track_file_override = path;
}
