// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's records: the best lap and the best race on each track,
// for each lap count and chain length, with the day each was set, the
// SHA-256 of the track file it was raced on, and the replay that set it
// (a file beside the records). Read from and written to
// $XDG_DATA_HOME/chainball/records.toml (by default
// ~/.local/share/chainball/records.toml). Owns nothing for the run: the
// callers hold the `records` value.
//
// Reading never fails: a missing file is no records; a file that cannot be
// used as a whole (a folder, too big, unreadable, not TOML) is one line and
// no records; a bad entry inside a good file is one line and left out, the
// rest kept. Writing goes through a temporary file and a rename, so the old
// file stays whole when anything fails; new records are saved under a lock,
// merged with what another game may have saved meanwhile.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "config/file_lock.h"

// A records file of a thousand tracks is well under this.
constexpr long long MAX_RECORDS_BYTES = 1 << 20;
constexpr size_t MAX_RECORDS = 10000;

enum class record_kind { lap, race };

struct record_entry {
    std::string track;        // catalogue name, or a custom track file's name
    std::string track_sha256; // of the track file's bytes when it was set
    int laps = 0;             // of the race
    int length = 0;           // player 1's chain length
    record_kind kind = record_kind::lap;
    bool off_road_slows = false;   // raced where driving off the road costs; kept apart
    long long steps = 0;      // of the lap or race, 50 a second
    int lap = 0;              // lap records: which lap of the race it was (1..laps)
    long long from_step = 0;  // lap records: the race's step at which the lap began
    std::string date;         // "YYYY-mm-dd HH:MM", local time
    std::string replay;       // file name in the records folder, "" when none
};

struct records {
    std::vector<record_entry> entries;
};

// The records file's path, "" as above.
std::string records_path();

records parse_records(const std::string& text, std::vector<std::string>& problems);
// Reads `path`; each problem is one line "chainball: records PATH: ..." to
// `err` (null: none).
records read_records(const std::string& path, FILE* err);
std::string format_records(const records& r);
// False after one line to `err`; the old file is then left as it was.
bool write_records(const std::string& path, const records& r, FILE* err);

// The record for these, null when none.
const record_entry* find_record(const records& r, const std::string& track, int laps, int length,
                                record_kind kind, bool off_road_slows);
// Whether a record kept may stand: its replay holds its time. Null: all may.
using record_check = std::function<bool(const record_entry&)>;

// Puts `candidate` in when it is the first for its track, laps, length,
// kind and off-road rule or beats the one kept (fewer steps; a record of another version of
// the track, or one `trusted` refuses, is beaten by any time). True when it
// went in.
bool offer_record(records& r, const record_entry& candidate, const record_check& trusted = nullptr);

// Saves new records when another game may be saving its own: under the lock
// beside `path`, reads the records as they are now, offers each of `fresh`,
// and writes the result when any went in. `now` gets the records as they
// stand after, and `gone` the replays that no record points to any more
// (of the file as read or of `fresh`). One line to `err` when not written.
save_result save_new_records(const std::string& path, const std::vector<record_entry>& fresh,
                             const record_check& trusted, records& now, std::vector<std::string>& gone,
                             FILE* err);
