// SPDX-License-Identifier: GPL-3.0-or-later
// Replays in the game: every race of a run recorded to a folder (--record,
// or the full game's own folder), and the reading of a replay to watch.
// Owns the folder and the race being recorded, for the whole run. Without
// a folder it records nothing.
#pragma once

#include <string>
#include <vector>

#include "race/race.h"
#include "replay/replay.h"

// File name extension of a replay.
constexpr const char* REPLAY_EXTENSION = ".cbreplay";
// Room a recording folder's disk must have at start: a long race's replay
// is tens of kilobytes.
constexpr unsigned long long MIN_FREE_BYTES = 1 << 20;

// --record DIR, before any window opens: checks that a file can be made in
// the folder (making the folder when it is missing) and that its disk has
// room, and records every race from then on. False after one line on
// stderr naming the cause.
// With `keep` above 0 only the newest `keep` replays of the folder, at most
// `max_bytes` together, are kept after each race (the full game's own
// folder); such a folder, when missing, is made with its first replay.
bool start_recording(const std::string& dir, int keep = 0, long long max_bytes = 0);
void stop_recording();

// Replays the game keeps in its own folder: the newest, and their size together.
constexpr int KEPT_REPLAYS = 50;
constexpr long long KEPT_REPLAY_BYTES = 64LL << 20;
// A folder listing stops holding names past this many (newest first).
constexpr size_t MAX_LISTED_REPLAYS = 1000;
// Pruning looks at this many of the newest names: a folder holding more is not ours alone.
constexpr size_t MAX_PRUNED_NAMES = 100000;
// Files one pruning removes at most: a race writes one, and a lowered
// setting is met over a few races rather than by a sweep of the folder.
constexpr int MAX_PRUNED_AT_ONCE = 100;

// The replay file names (*.cbreplay, no hidden ones) in `dir`, newest
// first (their names start with the date), at most `most`. With
// `recorder_names_only`, only names the recorder makes (see
// prune_recordings). Empty with the cause in `why` when the folder cannot be read.
std::vector<std::string> replay_files(const std::string& dir, size_t most, std::string& why,
                                      bool recorder_names_only = false);
// Removes the oldest replays of `dir` past the newest `keep` and past
// `max_bytes` together, at most MAX_PRUNED_AT_ONCE. Only the game's own are
// looked at: names as the recorder makes them, YYYYmmdd-HHMMSS-TRACK.cbreplay
// (or TRACK-N), whose local date and time of the race's start is what
// orders them (a replay holds no date of its own); a date more than a day
// ahead is not one the game wrote. Only regular files with no other name
// (no links, no hard links) count or go, and never `just_written`.
void prune_recordings(const std::string& dir, int keep, long long max_bytes, const std::string& just_written);
// A replay to watch, as read: the replay and where its track is.
struct WatchedReplay {
    replay rep;
    int level_index = 0;   // its track in the catalogue; -1 when it carries its own
};

// --replay FILE (before any window opens, after the catalogue is read), or
// a replay picked on the Replays screen: reads the replay, finds its track
// in the catalogue (or takes the --track file `track_file` when given) and
// checks that file's bytes against the recorded hash (`force` lets a
// differing one through with a warning). False after one line on stderr.
bool load_replay_to_watch(const std::string& file, bool force, const std::string& track_file,
                          WatchedReplay& out);

// Recording a race of the run, when the run records (--record, or the full
// game's setting); each does nothing otherwise. After the race's set-up,
// with the name and file of its track (or its bytes, a replay's own track
// raced in place of a file); after each step with its input; at its end
// (every racer finished, or the race left or quit), when the replay is
// written: what became of it.
void record_race_start(const Race& race, const Track& track, const std::string& track_name,
                       const std::string& track_file, const std::string& track_text);
void record_race_step(const Race& race, RaceInput input);
struct ReplayOutcome {
    std::string path;      // the file written for the race
    std::string failure;   // or why it could not be (kept to try again); both "" when not recorded
};
ReplayOutcome record_race_end(const Race& race);
// At shut-down: recorded races that could not be written (a full disk) are
// tried once more, then in $XDG_DATA_HOME/chainball/replays/, with one line
// saying where they went or that they are lost.
void flush_unsaved_replays();

// Writes `text` to FOLDER/NAME.cbreplay (NAME-2, NAME-3 .. when that
// exists), never over another file and never
// leaving half a file (write_new_file): the path written, or "" with the
// reason in `cause`.
std::string write_replay_file(const std::string& folder, const std::string& name, const std::string& text,
                              std::string& cause);
// The --record folder ("" without it).
const std::string& recording_folder();

// Where the last recording was written ("" before the first).
const std::string& last_recording();

// Start values: no folder, no replay, no race under way.
void reset_replay_session();
