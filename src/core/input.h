// SPDX-License-Identifier: GPL-3.0-or-later
// What a race step takes from its players: four actions for each human
// player, as bits. Every source of driving (the keyboard through its key
// bindings, the pads, key scripts, replays) turns into this one value, so
// the race never sees where its input came from.
#pragma once

enum { ACTION_FORWARD = 1, ACTION_BACK = 2, ACTION_LEFT = 4, ACTION_RIGHT = 8 };
constexpr int HUMAN_PLAYERS = 2;

struct RaceInput {
    unsigned char player[HUMAN_PLAYERS] = {0, 0};   // ACTION_* bits of players 1 and 2
};

inline bool operator==(const RaceInput& a, const RaceInput& b) {
    return a.player[0] == b.player[0] && a.player[1] == b.player[1];
}
inline bool operator!=(const RaceInput& a, const RaceInput& b) { return !(a == b); }
