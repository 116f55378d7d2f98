// Replays in the game: every race of a run recorded to a folder (--record),
// and one replay watched (--replay), driven from its file through the race
// frame's keys. Owns the folder, the race being recorded and the replay
// being watched with the settings it put aside: all for the whole run, set
// from the command line. Without --record and --replay it does nothing.
#pragma once

#include <string>
#include <vector>

#include "race/race.h"

// File name extension of a replay.
constexpr const char* REPLAY_EXTENSION = ".cbreplay";

// --record DIR, before any window opens: checks that a file can be made in
// the folder (making the folder when it is missing) and records every race
// from then on. False after one line on stderr naming the cause.
// With `keep` above 0 only the newest `keep` replays of the folder, at most
// `max_bytes` together, are kept after each race (the full game's own folder).
bool start_recording(const std::string& dir, int keep = 0, long long max_bytes = 0);
void stop_recording();

// Replays the game keeps in its own folder: the newest, and their size together.
constexpr int KEPT_REPLAYS = 50;
constexpr long long KEPT_REPLAY_BYTES = 64LL << 20;
// A folder listing stops holding names past this many (newest first).
constexpr size_t MAX_LISTED_REPLAYS = 1000;
// Pruning looks at this many of the newest names: a folder holding more is not ours alone.
constexpr size_t MAX_PRUNED_NAMES = 100000;

// The replay file names (*.cbreplay, no hidden ones) in `dir`, newest
// first (their names start with the date), at most `most`. Empty with the
// cause in `why` when the folder cannot be read.
std::vector<std::string> replay_files(const std::string& dir, size_t most, std::string& why);
// Removes the oldest replays of `dir` past the newest `keep` and past
// `max_bytes` together. Only regular files are looked at or removed.
void prune_recordings(const std::string& dir, int keep, long long max_bytes);

// --replay FILE, before any window opens: reads the replay and checks its
// track, levelit/NAME.txt in the data folder, against the recorded hash (`force` lets a
// differing one through with a warning). False after one line on stderr.
bool load_replay_to_watch(const std::string& file, bool force);

// After start-up: puts the run's settings aside, takes the replay's and its
// track, and starts the race with the screen loop's next pass. False after
// one line on stderr when the track is not in the level catalogue.
bool start_watching();
bool watching_replay();

// The race frame's calls. At the frame's start: a new race has its set-up
// recorded, or the watched race its draws put in place. After the frame's
// one race step, with the keys it drove by. At the frame's end: a race left
// or over has its recording written, and the watched one gives back the
// run's settings.
// replay_step_done() is true when a watched race that was left has reached
// the step where it was left: the race frame then leaves it too.
void replay_frame_start(Race& race, Track& track);
bool replay_step_done(const Race& race, RaceInput input);
void replay_frame_end(const Race& race);

// The source of the race input while a replay is watched: the keys of the
// next step from its file, in place of the players'. Nothing changes in any
// other race.
void replay_input(RaceInput& input);

// Where the last recording was written ("" before the first).
const std::string& last_recording();

// Start values: no folder, no replay, no race under way.
void reset_replay_session();
