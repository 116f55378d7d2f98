// SPDX-License-Identifier: GPL-3.0-or-later
// Replays: a race kept as its inputs. The key scripts (the "COUNT KEY..."
// lines chainball-sim reads, also the key section of a replay file), the
// replay file itself (read and written here, docs/replay-format.md), SHA-256
// for the track's bytes, and what a race set-up drew at random, taken from
// and put back into a race. Used by the game and by chainball-sim alike;
// no SDL. No state of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/input.h"
#include "race/race.h"

struct Race;
struct Track;

// Keys a script line may hold, as bits.
enum {
    SIM_UP = 1, SIM_DOWN = 2, SIM_LEFT = 4, SIM_RIGHT = 8,
    SIM_W = 16, SIM_A = 32, SIM_S = 64, SIM_D = 128,
};

struct sim_segment {
    long long count;   // steps
    int keys;          // SIM_* bits held during them
};

// A whole number written in decimal (an optional sign, digits only) within
// lo..hi.
bool parse_integer(const std::string& s, long long lo, long long hi, long long& value);

// One line of a key script cut into words (at least one): "COUNT KEY...".
// False with the reason in `error`.
bool parse_key_line(const std::vector<std::string>& words, sim_segment& segment, std::string& error);
// Reads a key script. On a bad line returns false with the line number and
// the reason in `error`.
bool parse_key_script(const std::string& text, std::vector<sim_segment>& script,
                      std::string& error);

// A step's race input from SIM_* bits (UP DOWN LEFT RIGHT drive player 1,
// W S A D player 2), and back.
RaceInput input_of_script_keys(int bits);
int script_keys_of_input(RaceInput input);

// Where a run stands in a key script.
struct script_position {
    size_t segment = 0;
    long long used = 0;   // steps taken from the current segment
};
// The keys of the next step, moving `at` on; none once the script is over.
int next_script_keys(const std::vector<sim_segment>& script, script_position& at);
// Appends one step holding `bits`, lengthening the last line when it holds the same.
void append_script_step(std::vector<sim_segment>& script, int bits);
// The script as lines "COUNT KEY...".
std::string format_key_script(const std::vector<sim_segment>& script);

// SHA-256 of `bytes`, as 64 lower-case hex digits.
std::string sha256_hex(const std::string& bytes);

constexpr int REPLAY_VERSION = 1;
// Version 2 also carries the track file itself: a replay of a track that
// is not in the catalogue.
constexpr int REPLAY_VERSION_EMBEDDED = 2;
// Version 3 also names the off-road rule, and may carry the track as
// version 2 does. Races under Free are still written as version 1 or 2.
constexpr int REPLAY_VERSION_OFF_ROAD = 3;
constexpr long long EMBED_LINE_BYTES = 64;
// A replay holding more is refused: more than a day of racing at 50 steps a second.
constexpr long long MAX_REPLAY_STEPS = 50LL * 60 * 60 * 24;
constexpr long long MAX_REPLAY_BYTES = 32 << 20;
constexpr int REPLAY_CHECK_EVERY = 50;   // steps between two racer checksums

struct replay_check {
    long long step;
    uint32_t sum;   // race_checksum() after that step
};

struct replay_result {
    bool left = false;        // left before every racer finished
    long long steps = 0;      // steps run
    int winner = 0;           // finished races only
    int laps[3] = {0, 0, 0};  // finished races only
};

struct replay {
    std::string track_name;     // the catalogue's name
    std::string track_sha256;   // of the track file's bytes
    std::string track_text;     // the track file's bytes when the replay carries them, else ""
    bool two_player = false;
    int lengths[3] = {7, 2, 5};
    int laps = 3;
    int difficulty = 0;         // the computer drivers: 0 Classic, 1 Good, 2 Expert
    int off_road = OFF_ROAD_FREE;   // OFF_ROAD_*
    // What the race before left in the game's racers, which a set-up keeps:
    // each racer's speed, and player 2's acceleration as a computer driver
    // (a two-player race sets it to the players' own).
    float speeds[3] = {0.0f, 0.0f, 0.0f};
    float computer_acceleration = 0.9f;
    std::vector<int> slowing;    // variants of the slowing cells, in grid order
    std::vector<int> pictures;   // each ball's picture, in placement order
    std::vector<sim_segment> keys;
    std::vector<replay_check> checks;
    replay_result result;
};

// A name a replay may give its track: a catalogue name, no path.
bool track_name_usable(const std::string& name);

// Reads a replay file's text. False with the line and the reason in `error`
// for anything that is not a whole, consistent replay of this version. The
// keys are read line by line as they stand in the text and every count is
// checked as it comes, so the memory used beyond the text is what the race
// needs: 16 bytes a key line.
// Asked every 65536 lines while a replay is read: true stops the reading,
// which then fails (a quit asked for by the system). Null: never stops.
extern bool (*replay_read_stop)();
bool parse_replay(const std::string& text, replay& out, std::string& error);
std::string format_replay(const replay& r);

// "winner 1, 1234 steps, laps 3 1 2" or "left at step 345".
std::string describe_result(const replay_result& r);
bool same_result(const replay_result& a, const replay_result& b);

// The settings and mode `r` was raced with, as a set-up.
RaceSetup replay_race_setup(const replay& r);
// After a race set-up: what it drew, into `r` (slowing variants and pictures),
// what it kept from the race before, and the race's settings and mode.
void capture_race_setup(replay& r, const Race& race, const Track& track);
// After a race set-up: the recorded draws and kept values put in place of
// the ones just made. Each list is applied as far as the track has room for it.
void apply_race_draws(const replay& r, Race& race, Track& track);
// The result of the race as it stands after `steps` steps.
replay_result current_result(const Race& race, long long steps);
// A checksum of every racer's speed, laps and balls; in a Good or Expert race
// also the difficulty and the drivers' memories.
uint32_t race_checksum(const Race& race);

// Reads the track file at `path` and compares its bytes with the recorded
// hash. False with the reason in `error` (naming the track) when it cannot be
// read, or when it differs and `force` is not set; a difference that
// `force` lets through is described in `warning`.
bool check_replay_track(const replay& r, const std::string& path, bool force, std::string& error,
                        std::string& warning);
