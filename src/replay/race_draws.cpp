// SPDX-License-Identifier: GPL-3.0-or-later
// A replay and the race state: the settings a replay names, what a race
// set-up drew at random, the result and a checksum of the racers.
#include <cstring>

#include "race/race.h"
#include "replay/replay.h"
#include "track/track.h"

RaceSetup replay_race_setup(const replay& r) {
    RaceSetup setup;
    for (int i = 0; i < 3; i++) setup.lengths[i] = r.lengths[i];
    setup.laps = r.laps;
    setup.two_players = r.two_player;
    setup.difficulty = r.difficulty;
    setup.off_road = r.off_road;
    return setup;
}

// The slowing cells of the square the race is on, row by row as the loader
// reads them. Only 'x' cells hold variants 1..5. `f` gets each one's tile.
template <typename T, typename F>
static void each_slowing_cell(T& track, F f) {
    const int n = track.size < MAX_TRACK ? track.size : MAX_TRACK;
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++)
            if (track.tiles[x][y] >= 1 && track.tiles[x][y] <= 5) f(track.tiles[x][y]);
}

// Each ball taking part, in the order place_racers() draws their pictures.
template <typename R, typename F>
static void each_ball(R& race, F f) {
    for (int r = 0; r < RACERS; r++)
        for (int b = 0; b < racer_length(race, r); b++) f(race.balls[b].sprite[r]);
}

void capture_race_setup(replay& r, const Race& race, const Track& track) {
    for (int i = 0; i < 3; i++) r.lengths[i] = racer_length(race, i);
    r.laps = race.laps;
    r.two_player = race.two_players;
    r.difficulty = race.difficulty;
    r.off_road = race.off_road;
    for (int i = 0; i < 3; i++) r.speeds[i] = race.racers[i].speed;
    r.computer_acceleration = race.computer_acceleration[1];
    r.slowing.clear();
    each_slowing_cell(track, [&r](int tile) { r.slowing.push_back(tile); });
    r.pictures.clear();
    each_ball(race, [&r](float sprite) { r.pictures.push_back((int)sprite); });
}

void apply_race_draws(const replay& r, Race& race, Track& track) {
    for (int i = 0; i < 3; i++) race.racers[i].speed = r.speeds[i];
    race.computer_acceleration[1] = r.computer_acceleration;
    size_t i = 0;
    each_slowing_cell(track, [&](int& tile) {
        if (i < r.slowing.size()) tile = r.slowing[i++];
    });
    // The full game draws each stretch of slowing cells by its first cell's variant.
    mark_slowing_stretches(track);
    size_t k = 0;
    each_ball(race, [&](float& sprite) {
        if (k < r.pictures.size()) sprite = (float)r.pictures[k++];
    });
}

replay_result current_result(const Race& race, long long steps) {
    replay_result res;
    res.steps = steps;
    res.left = !race_over(race);
    if (!res.left) {
        res.winner = race.winner;
        for (int i = 0; i < 3; i++) res.laps[i] = race.racers[i].completed_laps;
    }
    return res;
}

// FNV-1a over the bytes of each value: the same bits give the same sum on
// every machine the race itself agrees on.
static void mix(uint32_t& h, const void* p, size_t n) {
    const unsigned char* b = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; i++) {
        h ^= b[i];
        h *= 16777619u;
    }
}

uint32_t race_checksum(const Race& race) {
    uint32_t h = 2166136261u;
    for (int r = 0; r < RACERS; r++) {
        if (racer_length(race, r) == 0) continue;
        mix(h, &race.racers[r].speed, sizeof(float));
        mix(h, &race.racers[r].completed_laps, sizeof(int));
        for (int b = 0; b < racer_length(race, r); b++) {
            mix(h, &race.balls[b].x[r], sizeof(float));
            mix(h, &race.balls[b].y[r], sizeof(float));
            mix(h, &race.balls[b].heading[r], sizeof(float));
        }
    }
    // Classic races leave it out, so the sums of replays recorded before the
    // difficulty existed still hold.
    if (race.difficulty != DIFFICULTY_CLASSIC) {
        mix(h, &race.difficulty, sizeof(int));
        for (const DriverMemory& memory : race.drivers) mix(h, &memory, sizeof memory);
    }
    return h;
}
