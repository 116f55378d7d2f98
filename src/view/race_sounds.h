// SPDX-License-Identifier: GPL-3.0-or-later
// Which effects a race calls for, read from the race as it was when last
// heard and as it is now: the race stays a value that knows nothing of
// sound, and the screen plays what this returns. The human players' events
// sound (checkpoints, laps, the final lap, the finish); the computer racers'
// stay silent but for their bumps near a player. A race that rolls back and
// steps again never sounds a lap, checkpoint or bump twice.
#pragma once

#include "io/effects.h"
#include "race/race.h"

struct SoundCue {
    SoundEffect effect;
    int loudness;   // 0 to EFFECT_FULL
};

constexpr int MAX_CUES = 12;
struct SoundCues {
    SoundCue cue[MAX_CUES];
    int count = 0;
};

// Two balls of different racers at most this far apart (whole pixels)
// touch: one pushed from within push_distance moves 3 pixels away.
constexpr int BUMP_CONTACT = push_distance + 3;
// Closing speed (pixels a step) of a bump at full loudness, and the least
// that sounds at all.
constexpr double BUMP_FULL_IMPACT = 6.0;
constexpr double BUMP_LEAST_IMPACT = 0.5;
// Steps between two bumps of the same two racers.
constexpr long long BUMP_GAP = 10;
// A computer racers' bump sounds within this many pixels of a player's head.
constexpr int BUMP_NEAR = 250;

// What a race screen remembers between hearings; one for each race.
struct RaceListener {
    Race before{};               // the race when last heard
    bool primed = false;         // `before` holds a race
    int laps_heard[RACERS] = {};     // the most laps sounded for each racer
    int checkpoints_heard[RACERS] = {};   // checkpoints sounded since that lap
    long long bump_step[RACERS][RACERS] = {};   // the step of the pair's last bump
    int countdown_label = -1;    // the countdown label last sounded
};

// Racer 0 is always a player, racer 1 in a two-player race.
bool human_racer(const Race& race, int r);

// The cues of the race having gone from the listener's race to `after`;
// remembers `after`. The first hearing and a race that went back to an
// earlier step only prime the listener.
SoundCues hear_race(RaceListener& listener, const Race& after, const Track& track);

// The countdown's label index now (0 to 2 the numbers, 3 "GO!", -1 none):
// true with its cue when it changed to one.
bool hear_countdown(RaceListener& listener, int label, SoundCue& cue);

// The head of a player still racing lies inside a slowing cell.
bool player_on_slowing_cell(const Race& race, const Track& track);
