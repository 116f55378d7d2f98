// Replays in the game: every race of a run recorded to a folder (--record),
// and one replay watched (--replay), driven from its file through the race
// frame's keys. Owns the folder, the race being recorded and the replay
// being watched with the settings it put aside: all for the whole run, set
// from the command line. Without --record and --replay it does nothing.
#pragma once

#include <ctime>
#include <string>

#include "race/race.h"

// File name extension of a replay.
constexpr const char* REPLAY_EXTENSION = ".cbreplay";

// --record DIR, before any window opens: checks that a file can be made in
// the folder (making the folder when it is missing) and records every race
// from then on. False after one line on stderr naming the cause.
bool start_recording(const std::string& dir);

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

// Writes `r` to FOLDER/YYYYmmdd-HHMMSS-TRACK.cbreplay (the race's start) (with -2, -3 .. when
// that exists), never over another file; no half-written file is left.
// False with the file and the reason in `cause`.
struct replay;
bool write_replay_file(const std::string& folder, const replay& r, std::time_t started, std::string& path,
                       std::string& cause);
// The --record folder ("" without it).
const std::string& recording_folder();

// Where the last recording was written ("" before the first).
const std::string& last_recording();

// Start values: no folder, no replay, no race under way.
void reset_replay_session();
