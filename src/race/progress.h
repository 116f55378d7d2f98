// SPDX-License-Identifier: GPL-3.0-or-later
// How far each racer has come, for the full game's HUD: places, the lap a
// racer is on, and the gaps between racers from the steps at which each
// reached each mark of the route. Read-only on the race: nothing here
// changes a race, so the rules and replays never see it.
#pragma once

#include <vector>

#include "race/race.h"

// A racer's progress: the marks it has reached (one per checkpoint passed
// and one per lap counted, since the start) and how far its head still is
// from its next target along the route, in pixels.
struct Progress {
    int marks;
    float to_next;
};

// The checkpoints a race on `track` counts (0..MAX_CHECKPOINTS).
int counted_checkpoints(const Track& track);
Progress racer_progress(const Race& race, const Track& track, int r);
// True when progress `a` is further on than `b`.
bool further_on(const Progress& a, const Progress& b);

// The lap racer `r` is on, from 1, never past the race's laps.
int lap_on(const Race& race, int r);

// Each racer's place from 1 (0 for racers not taking part): finished racers
// first by their finishing step, then the others by progress; ties go to
// the lower index.
void race_places(const Race& race, const Track& track, int place[RACERS]);

// The steps from `from` at which each racer reached each mark after the
// `base` it held then: at[r][m] for base[r] + m marks (at[r][0] is 0).
struct SplitLog {
    long long from = 0;
    int base[RACERS] = {};
    std::vector<long long> at[RACERS];
};

// Starts the log over at the race's current step.
void start_splits(SplitLog& log, const Race& race, const Track& track);
// After a step: the marks reached in it. A race taken back (rolled back or
// set up anew) loses the marks it no longer holds.
void note_splits(SplitLog& log, const Race& race, const Track& track);

// Steps between racer `a` of log `la` and racer `b` of log `lb` at the last
// mark both reached: negative when `a` got there sooner. False when one has
// none logged.
bool split_gap(const SplitLog& la, int a, const SplitLog& lb, int b, long long& steps);

// The racer `r` measures its gap to: the one just ahead of it, or the one
// just behind when it leads; -1 when it races alone.
int gap_rival(const int place[RACERS], int r);
