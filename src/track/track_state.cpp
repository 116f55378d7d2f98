// SPDX-License-Identifier: GPL-3.0-or-later
// The loaded track and the catalogue.
#include "track/track.h"

#include <cstring>

Track loaded_track;           // refilled by every level load
char level_names[MAX_LEVELS][LEVEL_NAME_LEN];   // read once at start-up
int last_level_index = -1;                      // with the catalogue
const char* track_file_override = nullptr;      // set once at start-up, if at all
const level_load_watch* level_watch = nullptr;   // set and cleared by the track check

void clear_track(Track& track) {
    track.racing_lines.clear();
    track.size = 0;
    std::memset(track.tiles, 0, sizeof track.tiles);
    track.finish_x = track.finish_y = 0;
    track.straight_count = 0;
    std::memset(track.waypoints, 0, sizeof track.waypoints);
    track.waypoint_count = 0;
    std::memset(track.checkpoints, 0, sizeof track.checkpoints);
    track.checkpoint_count = 0;
    std::memset(track.stretch_piece, 0, sizeof track.stretch_piece);
    std::memset(track.wide_road, 0, sizeof track.wide_road);
}
