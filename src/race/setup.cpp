// The race set-up, shared by the level-load screen, the simulator and the
// tests, so that every race from the same seed draws the same numbers.
#include <cstdio>

#include "core/state.h"
#include "draw/clock.h"
#include "race/race.h"
#include "track/track.h"

void setup_race(const char* path) {
    set_view_size();
    resize_window(kaksinpeli ? 2 * screen_leveys : screen_leveys, screen_korkeus);

    reset_race_progress();
    if (kaksinpeli) computer_acceleration[1] = acceleration;

    load_level_file(path);
    racers[1].next_waypoint = 0;
    racers[2].next_waypoint = 0;
    place_racers();
}

void load_level() {
    // Room for the longest name the catalogue keeps (49 characters); the
    // 50-byte label buffer would cut names of more than 31.
    char path[14 + LEVEL_NAME_LEN - 1 + 4 + 1];
    std::snprintf(path, sizeof path, "filut/levelit/%.*s.txt", LEVEL_NAME_LEN - 1,
                  chosen_level_name());
    setup_race(track_file_override ? track_file_override : path);
    race_start_ticks = game_ticks();
    game_screen = SCREEN_RACE;
}
