// SPDX-License-Identifier: GPL-3.0-or-later
// A race's start values and its set-up.
#include "race/race.h"

#include <cstring>

Race new_race() {
    Race race = {};
    // Rows of racers that never take part are read by the head clamp and the
    // finish and checkpoint tests; zeros keep them harmless.
    race.laps = 1;
    race.view_width = 500;
    race.view_height = 500;
    race.acceleration = 1.1f;
    race.computer_acceleration[0] = 0.0f;
    race.computer_acceleration[1] = 0.9f;
    race.computer_acceleration[2] = 1.05f;
    race.friction = 0.8f;
    return race;
}

// Field by field: the padding between them holds nothing of the race.
bool same_race(const Race& a, const Race& b) {
    auto same = [](const auto& x, const auto& y) { return std::memcmp(&x, &y, sizeof x) == 0; };
    return same(a.lengths, b.lengths) && a.laps == b.laps && a.two_players == b.two_players &&
           a.view_width == b.view_width && a.view_height == b.view_height && a.step == b.step &&
           same(a.racers, b.racers) && same(a.balls, b.balls) && same(a.acceleration, b.acceleration) &&
           same(a.computer_acceleration, b.computer_acceleration) && same(a.friction, b.friction) &&
           same(a.camera_x, b.camera_x) && same(a.camera_y, b.camera_y) &&
           same(a.checkpoint_passed, b.checkpoint_passed) && same(a.checkpoint_lit, b.checkpoint_lit) &&
           a.winner == b.winner && same(a.clocks, b.clocks);
}

int view_half_width(const Race& race) { return race.view_width / 2; }
int view_half_height(const Race& race) { return race.view_height / 2; }

static int cut_length(int n) {
    if (n < 0) return 0;
    if (n > MAX_BALLS) return MAX_BALLS;
    return n;
}

// The set-up around the level load, which `load` does.
template <typename Load>
static void setup_race_with(Race& race, Track& track, Random& random, const RaceSetup& setup, Load load) {
    for (int r = 0; r < RACERS; r++) race.lengths[r] = cut_length(setup.lengths[r]);
    race.laps = setup.laps;
    race.two_players = setup.two_players;
    race.view_width = setup.two_players ? 400 : 500;
    race.view_height = 500;
    race.step = 0;

    reset_race_progress(race);
    if (race.two_players) race.computer_acceleration[1] = race.acceleration;

    load();
    for (unsigned char& lit : race.checkpoint_lit) lit = 0;
    race.racers[1].next_waypoint = 0;
    race.racers[2].next_waypoint = 0;
    place_racers(race, track, random);
}

void setup_race(Race& race, Track& track, Random& random, const RaceSetup& setup, const char* path) {
    setup_race_with(race, track, random, setup, [&] { load_level_file(track, path, random); });
}

void setup_race_text(Race& race, Track& track, Random& random, const RaceSetup& setup, const char* name,
                     const std::string& text) {
    setup_race_with(race, track, random, setup, [&] { load_level_text(track, name, text, random); });
}
