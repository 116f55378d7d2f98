// SPDX-License-Identifier: GPL-3.0-or-later
// A race's start values and its set-up.
#include "race/race.h"

#include <cstddef>
#include <cstring>

#include "race/racing_adapter.h"

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
// A struct of the listed fields, in the listed order: laid out as Race is
// exactly when the list holds every field of Race.
namespace race_field_check {
#define RACE_MIRROR_FIELD(name, sum) decltype(Race::name) name;
struct Listed {
    RACE_FIELDS(RACE_MIRROR_FIELD)
};
#undef RACE_MIRROR_FIELD
#define RACE_SAME_OFFSET(name, sum) \
    static_assert(offsetof(Listed, name) == offsetof(Race, name), "RACE_FIELDS is out of order at " #name);
RACE_FIELDS(RACE_SAME_OFFSET)
#undef RACE_SAME_OFFSET
static_assert(sizeof(Listed) == sizeof(Race), "Race has a field that RACE_FIELDS (race/race.h) lacks");
}  // namespace race_field_check

bool same_race(const Race& a, const Race& b) {
    auto same = [](const auto& x, const auto& y) { return std::memcmp(&x, &y, sizeof x) == 0; };
#define RACE_SAME_FIELD(name, sum) &&same(a.name, b.name)
    return true RACE_FIELDS(RACE_SAME_FIELD);
#undef RACE_SAME_FIELD
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
    race.difficulty = setup.difficulty == DIFFICULTY_GOOD || setup.difficulty == DIFFICULTY_EXPERT
                          ? setup.difficulty
                          : DIFFICULTY_CLASSIC;
    race.off_road = setup.off_road == OFF_ROAD_SLOWS ? OFF_ROAD_SLOWS : OFF_ROAD_FREE;
    for (DriverMemory& memory : race.drivers) memory = DriverMemory();
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
    prepare_racing_lines(race, track);
}

void setup_race(Race& race, Track& track, Random& random, const RaceSetup& setup, const char* path) {
    setup_race_with(race, track, random, setup, [&] { load_level_file(track, path, random); });
}

void setup_race_text(Race& race, Track& track, Random& random, const RaceSetup& setup, const char* name,
                     const std::string& text) {
    setup_race_with(race, track, random, setup, [&] { load_level_text(track, name, text, random); });
}
