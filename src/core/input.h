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

// Everything the players do in one race frame, whatever it came from (the
// keyboard through its bindings, the pads, a replay, the network): the
// driving of each player, and the frame's race keys. Built in one place
// (core/events.h); the race screen acts on it and nothing else.
struct FrameInput {
    RaceInput drive;           // held driving actions
    bool pause_held = false;   // the pause key (Ctrl+P as bound) held now
    bool ctrl_held = false;    // Ctrl held: the classic pause takes P among the frame's events
    bool pause = false;        // a pause asked for this frame (a pad's Start or bound button, P with Ctrl)
    bool leave = false;        // Escape: leave the race
    bool quit = false;         // the close button or a quit signal
    // Watching a replay: Tab follows the next racer, F runs faster, Space pauses.
    bool follow_next = false;
    bool faster = false;
    bool watch_pause = false;
    bool network_line = false;   // F3, when no binding takes it: an online race's network line
};
