// SPDX-License-Identifier: GPL-3.0-or-later
// The headless simulator (chainball-sim): options, key script, and the race
// run step by step without a window, one record line per value.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "race/race.h"
#include "replay/replay.h"

// A longer key script is refused: at one step a line it holds over eight
// million steps, more than a day of racing.
constexpr long long MAX_KEY_SCRIPT_BYTES = 32 << 20;

struct sim_options {
    bool two_player = false;
    int lengths[3] = {7, 2, 5};
    int laps = 3;
    std::string keys_file;        // empty: no script
    long long steps = -1;         // -1: as many as the script holds
    unsigned int seed = 1;
    int difficulty = 0;           // --difficulty: 0 classic, 1 good, 2 expert
    int off_road = 0;             // --off-road: OFF_ROAD_FREE or OFF_ROAD_SLOWS
    std::string level_file;
    std::string level_text;       // a replay's own track, used in place of level_file
    std::string replay_file;      // --replay: the race, keys and result from a replay
    std::string track_file;       // --track: the replay's track when not in the catalogue
    bool force = false;           // --force: race a replay on a track of other bytes
    std::string race_option;      // the first option a replay would contradict
    // Online races (--net-host PORT, --net-join HOST[:PORT]): this machine's
    // racer drives by the script's arrow keys.
    int net_host_port = 0;        // 0: not hosting
    std::string net_join;         // empty: not joining
    std::string net_watch;        // --net-watch HOST[:PORT]: a spectator; empty: not watching
    std::string net_bind;         // --bind: the address the host listens on
    std::string net_replay_out;   // --write-replay: the confirmed race's replay
    std::string net_version;      // tests: the game version this machine claims
    long long net_perturb = -1;   // tests: nudge this machine's race after this step
    // Tests: a guest that connects and says nothing ("silent"), answers the
    // hello with a bad message ("garbage"), or stops its race at step 100
    // but keeps sending its old inputs ("stale"); a spectator that sends
    // inputs ("inputs").
    std::string net_misbehave;
    int net_input_delay = 2;      // --input-delay: the host's steps from a key to its step, 0..4
    int synctest = 0;             // --synctest N: roll back N steps after every step; 0: not
    std::string cup;              // --cup: race every track of this cup
    std::string cups_file;        // --cups: the cup file; default filut/cups.toml
    bool help = false;
    bool version = false;
};

// Reads the command line (argv[0] is the program). On a bad option returns
// false with the reason in `error`; true with `help` or `version` set when
// those were asked for.
bool parse_sim_args(int argc, const char* const* argv, sim_options& opt, std::string& error);

// A fresh race on an empty track, set up exactly as the level-load screen
// sets one up, with the draws of the seed. Does not check that the file
// exists.
void sim_setup(const sim_options& opt, Race& race, Track& track);

// Sets up the race as the level loader would and runs it, writing the
// records to `out`. Returns the exit status: 0, or 2 after writing the
// reason to `err`.
int run_simulation(const sim_options& opt, FILE* out, FILE* err);

// Runs the race a replay file holds, writing the same records, and compares
// its result with the recorded one. Returns 0 when they agree, 3 when they
// differ (with the first check that differs on `err`), 2 for a file that
// cannot be used.
int run_replay(const sim_options& opt, FILE* out, FILE* err);

// An online race as one of its two machines, in real time: host or join,
// race with the key script, write the replay. Returns 0 for a race run to
// its end, 2 for bad options or files, 4 when no race came about (refused,
// not reached), 5 when the opponent left, 6 when the races differed.
int run_net_peer(const sim_options& opt, FILE* out, FILE* err);

// The parts the runs share: the key script (none without --keys), the level
// file's check, and where a track named in a replay or by a host is found
// (`track_file` when given, else filut/levelit/NAME.txt beside the program
// or in the working directory). The first two write one line to `err`.
bool read_sim_script(const sim_options& opt, std::vector<sim_segment>& script, FILE* err);
bool check_level_file(const sim_options& opt, FILE* err);
std::string sim_track_path(const std::string& track_file, const std::string& name);

// The race run offline with a rollback of `opt.synctest` steps after every
// step, each state compared with a plain run (net/net_race.h). Returns 0
// when every state agrees, 3 with one line naming the first step and field
// that differ, 2 for bad files.
int run_sync_test(const sim_options& opt, FILE* out, FILE* err);
// A whole cup: each track raced in turn with the same set-up and script,
// until every racer has finished (or --steps, by default ten minutes), with
// "race I TRACK", one "place RACER PLACE FINISH_STEP" a racer and one
// "standing POSITION RACER RACE_POINTS TOTAL GAP" a racer after each.
// Returns 0, or 2 after one line to `err`.
int run_cup(const sim_options& opt, FILE* out, FILE* err);
// A relative path (a data file's) beside the program when there is a file
// there, else as it is (in the working directory).
std::string beside_program(const std::string& relative);

// Whole command: parse, help, run. Returns the exit status.
int sim_main(int argc, const char* const* argv, FILE* out, FILE* err);

extern const char* const sim_usage;

// Writes `v` at `p` exactly as printf("%.9g", v) does (the records' float
// format) and returns the end; at most 24 characters, no terminating zero.
char* format_g9(char* p, double v);
