// The level catalogue: names, each closed by '#', whitespace carrying no
// meaning. Read once at start-up.
#include <cstdio>
#include <cstring>

#include "core/state.h"
#include "track/track.h"
#include "track/track_local.h"

void read_catalogue(const char* path) {
    std::memset(level_names, 0, sizeof level_names);
    last_level_index = 0;

    FILE* f = std::fopen(path, "r");
    int entry = 0;
    int pos = 0;
    char c = 0;
    while (f && read_nonblank(f, c)) {
        if (c == '#') {
            // Names past the table's last entry are dropped, and so are
            // their '#', so last_level_index never names a missing entry.
            if (entry < MAX_LEVELS) {
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
    last_level_index--;
}

const char* chosen_level_name() {
    int i = race_settings.level_index;
    if (i < 0 || i >= MAX_LEVELS) return "";
    return level_names[i];
}

void wrap_level_index() {
    int& level = race_settings.level_index;
    if (level > last_level_index) level = 0;
    if (level < 0) level = last_level_index >= 0 ? last_level_index : 0;
}
