// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's time trial, records and replays, on the run's full-game
// state (menu/full_game.h: the records, whether ghosts are shown and races
// recorded). The screens keep their own state: the Time trial screen (track, chain length,
// laps, ghost) in menu/trial.cpp with the race additions of every full-game
// race (the lap clock, the ghost, a trial's replay and records), the
// Records screen in menu/records_screen.cpp, the Replays screen (watch,
// delete, export) in menu/replays_screen.cpp.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "config/records.h"
#include "core/screen.h"
#include "menu/full_game.h"
#include "replay/ghost.h"
#include "view/race_screen.h"

// The full game's start, once its settings are in `run`: the records read,
// and races recorded when the setting says so (the newest
// run.settings.recordings_kept in the game's replays folder). One line on
// stderr for a folder that cannot be used; the game goes on.
void start_trial_extras(FullGameRun& run);
// The settings screen's recording switch, taking effect from the next race.
// A --record folder given on the command line wins over the setting: it is
// neither replaced nor stopped. (The ghosts switch is run.options.ghosts,
// read at each race's set-up.)
void record_races(FullGameRun& run, bool on, int keep);

// What the full game adds to each race of a plan: the ghost, and for a
// time trial (`trial`) its replay, its records and the lap line; `ghost`
// is the trial's choice: 0 best lap, 1 best race, 2 off. `run` must outlive
// the races of the plan (it lives for the whole run).
std::shared_ptr<RaceAddons> make_race_addons(FullGameRun& run, bool trial, int ghost = 0);

ScreenPtr make_time_trial_screen(FullGameRun& run);
ScreenPtr make_records_screen(FullGameRun& run);
ScreenPtr make_replays_screen(FullGameRun& run);
// A message in lines of at most `width` characters: one when it fits, else
// its start and, on a second line, its end (shortened from the left, after
// "...", when the rest is longer still).
std::vector<std::string> fit_message(const std::string& message, size_t width);

// The records re-read from their file into `run`, with the new ones not
// yet saved.
void reload_records(FullGameRun& run);
// Whether a kept record may stand: its replay is there, whole, of its track
// version and re-simulates to its time. Checked once a run per record, at
// its first use; one line on stderr for one that fails.
bool record_trusted(FullGameRun& run, const record_entry& e);
// The record for these when there is one and it may stand, else null.
const record_entry* trusted_record(FullGameRun& run, const std::string& track, int laps, int length,
                                   record_kind kind, bool off_road_slows);
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
