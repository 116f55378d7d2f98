// SPDX-License-Identifier: GPL-3.0-or-later
// The loaded track and the catalogue.
#include "track/track.h"

Track loaded_track;           // refilled by every level load
char level_names[MAX_LEVELS][LEVEL_NAME_LEN];   // read once at start-up
int last_level_index = -1;                      // with the catalogue
const std::string* track_text_override = nullptr;   // while a replay carrying its track is watched
const char* track_file_override = nullptr;      // set once at start-up, if at all
const level_load_watch* level_watch = nullptr;   // set and cleared by the track check
