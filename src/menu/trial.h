// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's time trial, records and replays. Owns what they share for
// the whole run: the records (read at start-up, then as saved), whether
// ghosts are shown and races recorded, and where the user's files go. The
// screens keep their own state: the Time trial screen (track, chain length,
// laps, ghost) in menu/trial.cpp with the race additions of every full-game
// race (the lap clock, the ghost, a trial's replay and records), the
// Records screen in menu/records_screen.cpp, the Replays screen (watch,
// delete, export) in menu/replays_screen.cpp.
#pragma once

#include <memory>
#include <string>

#include "config/records.h"
#include "core/screen.h"
#include "replay/ghost.h"
#include "view/race_screen.h"

// The full game's start: where records and replays are kept, whether ghosts
// are shown (also in races against the computer) and races are recorded
// (the newest `keep` in the game's replays folder). One line on stderr for
// a folder that cannot be used; the game goes on.
void start_trial_extras(bool ghosts_on, bool recording_on, int keep);
// The settings screen's switches, taking effect from the next race. A
// --record folder given on the command line wins over the setting: it is
// neither replaced nor stopped.
void show_ghosts(bool on);
bool ghosts_shown();
void record_races(bool on, int keep);

// What the full game adds to each race of a plan: the lap clock and the
// ghost, and for a time trial (`trial`) its replay, its records and the
// lap line; `ghost` is the trial's choice: 0 best lap, 1 best race, 2 off.
std::shared_ptr<RaceAddons> make_race_addons(bool trial, int ghost = 0);

ScreenPtr make_time_trial_screen();
ScreenPtr make_records_screen();
ScreenPtr make_replays_screen();

// The records as they stand, and re-read from their file.
const records& current_records();
void reload_records();
// The user's folders for replays and records ("" without HOME).
std::string replays_folder();
std::string records_folder();
// "1:23.45" for a count of 20 ms steps, as the race clock writes it.
std::string race_time(long long steps);
// A file's SHA-256 ("" hashed when it cannot be read).
std::string file_sha256(const std::string& path);
// A line for the player: kept for the screen and written to stderr.
void say(std::string& shown, const std::string& line);
// A dark band under a list, so its white lines read on any background.
void list_band();
