// The race set-up, shared by the level-load screen, the simulator and the
// tests, so that every race from the same seed draws the same numbers.
#include "core/state.h"
#include "draw/clock.h"
#include "race/race.h"
#include "track/track.h"

void setup_race(const char* path) {
    set_view_size();
    resize_window(two_players ? 2 * view_width : view_width, view_height);

    reset_race_progress();
    if (two_players) computer_acceleration[1] = acceleration;

    load_level_file(path);
    racers[1].next_waypoint = 0;
    racers[2].next_waypoint = 0;
    place_racers();
}

void load_level() {
    setup_race(chosen_level_file().c_str());
    race_start_ticks = game_ticks();
    game_screen = SCREEN_RACE;
}
