// SPDX-License-Identifier: GPL-3.0-or-later
// The race's sound cues, from two race values.
#include "view/race_sounds.h"

#include <cmath>

bool human_racer(const Race& race, int r) {
    return (r == 0 || (r == 1 && race.two_players)) && racer_length(race, r) > 0;
}

static void add(SoundCues& cues, SoundEffect effect, int loudness = EFFECT_FULL) {
    if (cues.count < MAX_CUES) cues.cue[cues.count++] = {effect, loudness};
}

static int checkpoints_passed(const Race& race, const Track& track, int r) {
    const int n = track.checkpoint_count < 0 ? 0 : track.checkpoint_count < MAX_CHECKPOINTS ? track.checkpoint_count : MAX_CHECKPOINTS;
    int passed = 0;
    for (int k = 0; k < n; k++) passed += race.checkpoint_passed[k][r] ? 1 : 0;
    return passed;
}

// What the listener has sounded: the race as it stands, silently.
static void prime(RaceListener& l, const Race& race, const Track& track) {
    for (int r = 0; r < RACERS; r++) {
        l.laps_heard[r] = race.racers[r].completed_laps;
        l.checkpoints_heard[r] = checkpoints_passed(race, track, r);
        for (int o = 0; o < RACERS; o++) l.bump_step[r][o] = -BUMP_GAP;
    }
}

// A lap beyond the laps heard (the finish, the final lap's start or another
// lap), else a checkpoint beyond those heard in this lap.
static void hear_progress(RaceListener& l, const Race& race, const Track& track, int r, SoundCues& cues) {
    const int laps = race.racers[r].completed_laps;
    const int passed = checkpoints_passed(race, track, r);
    if (laps > l.laps_heard[r]) {
        if (l.laps_heard[r] < race.laps)
            add(cues, laps >= race.laps ? EFFECT_FINISH : laps == race.laps - 1 ? EFFECT_FINAL_LAP : EFFECT_LAP);
        l.laps_heard[r] = laps;
        l.checkpoints_heard[r] = passed;
        return;
    }
    if (laps == l.laps_heard[r] && passed > l.checkpoints_heard[r] && laps < race.laps) {
        add(cues, EFFECT_CHECKPOINT);
        l.checkpoints_heard[r] = passed;
    }
}

static double gap(const Race& race, int r1, int b1, int r2, int b2) {
    const double dx = (double)race.balls[b1].x[r1] - race.balls[b2].x[r2];
    const double dy = (double)race.balls[b1].y[r1] - race.balls[b2].y[r2];
    return std::sqrt(dx * dx + dy * dy);
}

// The closest two balls of racers r1 and r2, and how far apart.
static double closest(const Race& race, int r1, int r2, int& b1, int& b2) {
    double best = 1e30;
    b1 = b2 = 0;
    for (int i = 0; i < racer_length(race, r1); i++)
        for (int j = 0; j < racer_length(race, r2); j++) {
            const double d = gap(race, r1, i, r2, j);
            if (d < best) {
                best = d;
                b1 = i;
                b2 = j;
            }
        }
    return best;
}

static bool near_a_player(const Race& race, int r, int b) {
    for (int h = 0; h < RACERS; h++)
        if (human_racer(race, h) && gap(race, r, b, h, 0) <= BUMP_NEAR) return true;
    return false;
}

// A bump: two racers' balls come into touch that were not touching when
// last heard; its loudness by how fast they closed.
static void hear_bump(RaceListener& l, const Race& before, const Race& race, int r1, int r2, SoundCues& cues) {
    if (racer_length(race, r1) == 0 || racer_length(race, r2) == 0) return;
    int b1, b2, p1, p2;
    if (closest(race, r1, r2, b1, b2) > BUMP_CONTACT || closest(before, r1, r2, p1, p2) <= BUMP_CONTACT) return;
    if (!human_racer(race, r1) && !human_racer(race, r2) && !near_a_player(race, r1, b1)) return;
    if (race.step - l.bump_step[r1][r2] < BUMP_GAP) return;
    const double steps = (double)(race.step - before.step);
    const double vx = ((double)race.balls[b1].x[r1] - before.balls[b1].x[r1]) -
                      ((double)race.balls[b2].x[r2] - before.balls[b2].x[r2]);
    const double vy = ((double)race.balls[b1].y[r1] - before.balls[b1].y[r1]) -
                      ((double)race.balls[b2].y[r2] - before.balls[b2].y[r2]);
    const double impact = std::sqrt(vx * vx + vy * vy) / steps;
    if (!(impact >= BUMP_LEAST_IMPACT)) return;
    const double share = impact >= BUMP_FULL_IMPACT ? 1.0 : impact / BUMP_FULL_IMPACT;
    add(cues, EFFECT_BUMP, (int)std::lround(share * EFFECT_FULL));
    l.bump_step[r1][r2] = race.step;
}

SoundCues hear_race(RaceListener& l, const Race& after, const Track& track) {
    SoundCues cues;
    if (!l.primed || after.step < l.before.step) {
        prime(l, after, track);
        l.primed = true;
        l.before = after;
        return cues;
    }
    if (after.step == l.before.step) return cues;
    for (int r = 0; r < RACERS; r++)
        if (human_racer(after, r)) hear_progress(l, after, track, r, cues);
    for (int r1 = 0; r1 < RACERS; r1++)
        for (int r2 = r1 + 1; r2 < RACERS; r2++) hear_bump(l, l.before, after, r1, r2, cues);
    l.before = after;
    return cues;
}

bool hear_countdown(RaceListener& l, int label, SoundCue& cue) {
    if (label == l.countdown_label || label < 0 || label > 3) return false;
    l.countdown_label = label;
    cue = {label == 3 ? EFFECT_GO : EFFECT_COUNTDOWN, EFFECT_FULL};
    return true;
}

bool player_on_slowing_cell(const Race& race, const Track& track) {
    for (int r = 0; r < RACERS; r++)
        if (human_racer(race, r) && race.racers[r].completed_laps < race.laps && ball_in_slowing_cell(race, track, r, 0))
            return true;
    return false;
}
