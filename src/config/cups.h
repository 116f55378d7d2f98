// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's cups: the cup file of the data folder (filut/cups.toml,
// docs/cups.md), a cup in progress saved between races
// ($XDG_DATA_HOME/chainball/cup.toml) and the best result of each cup
// (cup_records.toml beside it). All three are TOML read through the
// game's guarded reader; every file that cannot be used is one line.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "race/cup.h"

constexpr long long MAX_CUP_FILE_BYTES = 64 * 1024;
constexpr size_t MAX_CUPS = 16;
constexpr size_t MAX_CUP_TRACKS = 8;
constexpr size_t MAX_CUP_NAME = 14;   // "Cup: NAME" fits a button
// The cup a player makes in the game from any tracks of the run.
constexpr const char* CUSTOM_CUP = "Custom cup";

struct cup_def {
    std::string name;
    std::vector<std::string> tracks;   // track names, in racing order
};

// Whether a track of that name can be raced.
using track_known = std::function<bool(const std::string& name)>;

// The cups of a cup file's text; false with one line in `why` (without the
// file's name): not TOML, no cup, an empty cup, too many tracks, an
// unknown track, a name twice.
bool parse_cups(const std::string& text, const track_known& known, std::vector<cup_def>& cups, std::string& why);
// The same for the file at `path`, `why` naming the file.
bool read_cups(const std::string& path, const track_known& known, std::vector<cup_def>& cups, std::string& why);
// filut/cups.toml.
std::string cups_file_path();

// A cup in progress: the cup, the races' set-up, the races run so far.
struct cup_progress {
    cup_def cup;
    int lengths[RACERS] = {7, 2, 5};
    int laps = 3;
    bool two_players = false;
    int difficulty = 0;
    int off_road = 0;
    std::vector<CupRaceResult> races;
};
std::string format_cup_progress(const cup_progress& p);
// False with one line in `why` for a save that is not whole and sound.
bool parse_cup_progress(const std::string& text, cup_progress& p, std::string& why);
// $XDG_DATA_HOME/chainball/cup.toml ("" without a home folder).
std::string cup_save_path();

// The best a player did in a cup, for its difficulty, chain length and laps.
struct cup_record {
    std::string cup;
    int difficulty = 0;
    int length = 7;
    int laps = 3;
    int position = 0;          // best finishing position, from 1
    long long steps = 0;       // best total time of a cup finished in every race; 0: none
    std::string date;
};
// The records of a cup records file; `why` says what was left out ("" for
// nothing): the whole file when it is not TOML, else the entries out of
// their bounds.
std::vector<cup_record> parse_cup_records(const std::string& text, std::string& why);
std::string format_cup_records(const std::vector<cup_record>& list);
std::string cup_records_path();
// Puts in what `done` beats (position and time count apart); true when
// anything changed.
bool offer_cup_record(std::vector<cup_record>& list, const cup_record& done);

// The tracks of the run's catalogue (track/track.h: level_names).
track_known catalogue_tracks();
