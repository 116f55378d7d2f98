// SPDX-License-Identifier: GPL-3.0-or-later
// The race of an online race: the game's race value bound to the rollback
// session (one adapter for the game, chainball-sim and the tests), the race
// header the host sends and the guest sets up from, the replay of the
// confirmed steps, and the determinism check of the hello. No state of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/rollback.h"
#include "race/race.h"
#include "replay/replay.h"

// What the session copies, steps and sums: the race and the track it is
// raced on (read-only, shared by every copy).
struct online_race {
    Race race;
    const Track* track = nullptr;
};

net_race_ops<online_race> online_race_ops();
RaceInput online_input(const uint8_t* bits);   // racer 1's and racer 2's action bits

// The checksum of a fixed two-player race of 300 scripted steps on a small
// built-in track: machines whose floating point or maths library disagree
// get different sums.
uint32_t determinism_checksum(int steps = 300);

// The host's header of its set-up race: track name and SHA-256 of its bytes,
// lengths, laps, what the set-up drew and kept. An online race is always a
// two-player race.
replay online_header(const Race& race, const Track& track, const std::string& track_name,
                     const std::string& track_sha256);
// Sets up the race `header` describes on the level file at `path`: the same
// race on every machine whose track has the header's bytes.
void setup_online_race(const replay& header, const char* path, Race& race, Track& track);

// The replay of the confirmed steps: the header, both racers' confirmed
// inputs as keys, the checks, and the result at the last confirmed step
// ("left at step N" when the race did not finish there).
replay online_replay(const replay& header, const net_core& c, const Race& confirmed);

// The name of the first field of Race (in RACE_FIELDS order) whose bits
// differ between `a` and `b`; "" when none does.
std::string first_race_difference(const Race& a, const Race& b);

// The sync test (chainball-sim --synctest): the race from `start` on
// `inputs` (racer 1's and racer 2's action bits, two a step), each step
// followed by a rollback of `depth` steps (1 to NET_MAX_AHEAD) through the
// online session's own save and re-run with `ops`; every state so run is
// compared, checksum and every field, with a plain run of the same steps.
struct sync_test_result {
    long long steps = 0;          // steps run
    long long differ_step = -1;   // the first step whose state differs; -1: none
    std::string field;            // the first field that differs there
};
sync_test_result online_sync_test(const online_race& start, const net_race_ops<online_race>& ops,
                                  const std::vector<uint8_t>& inputs, int depth);
