// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's time trial, records and replays: the Time trial screen
// (track, chain length, laps, ghost) and its races alone against the clock
// and a ghost, the Records screen and the Replays screen (watch, delete,
// export). Owns the records read at start-up, the trial under way with its
// lap clock, replay and ghost, and the list the Replays screen shows; all
// for the whole run. The main menu's table calls the three open_ functions.
#pragma once

#include <string>

#include "config/records.h"
#include "replay/ghost.h"

// game_screen values of these screens.
enum { SCREEN_TIME_TRIAL = 20, SCREEN_REPLAYS = 21, SCREEN_RECORDS = 22 };

// The full game's start: where records and replays are kept, whether ghosts
// are shown (also in races against the computer) and races are recorded
// (the newest `keep` in the game's replays folder). One line on stderr for
// a folder that cannot be used; the game goes on.
void start_trial_extras(bool ghosts_on, bool recording_on, int keep);
// The settings screen's switches, taking effect from the next race. A
// --record folder given on the command line wins over the setting: it is
// neither replaced nor stopped.
void show_ghosts(bool on);
void record_races(bool on, int keep);

void open_time_trial();
void open_replays();
void open_records();

// One frame of each screen.
void time_trial_frame();
void replays_frame();
void records_frame();
// After a race: a time trial that has left its race gives the run its own
// settings back.
void after_race_screens();

// For the tests: the records as they stand, the trial's clock and ghost,
// the last line the screens showed (a saved record, a refused file...).
const records& current_records();
const lap_clock& trial_clock();
const ghost& trial_ghost();
const std::string& trial_message();
// The Replays screen's folder and the Time trial's picks.
std::string replays_folder();
struct trial_choice { int level_index; int length; int laps; int ghost; };   // ghost 0 lap, 1 race, 2 off
trial_choice& trial_picks();
