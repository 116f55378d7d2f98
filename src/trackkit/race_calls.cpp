// Every call the kit makes into the race: setting one up, stepping it with
// player 1's keys, and reading where the balls are. The rest of the kit
// goes through these few functions, so a change in how the race is held
// (its state, its input, its random draws) is met here alone.
#include <cstdlib>
#include <cstring>

#include "core/state.h"
#include "race/race.h"
#include "track/track.h"
#include "trackkit/trackkit_local.h"

void kit_race_setup(const std::string& path, const int lengths[3], unsigned seed) {
    reset_race_state();
    std::memset(&track, 0, sizeof track);
    two_players = false;
    for (int r = 0; r < RACERS; r++) race_settings.chain_length[r] = lengths[r];
    race_settings.laps = 1;
    std::srand(seed);
    setup_race(path.c_str());
}

void kit_race_step(unsigned keys) {
    // Player 1's keys as the keyboard state array holds them.
    static Uint8 held[SDLK_LAST];
    std::memset(held, 0, sizeof held);
    held[SDLK_UP] = (keys & KIT_KEY_UP) != 0;
    held[SDLK_DOWN] = (keys & KIT_KEY_DOWN) != 0;
    held[SDLK_LEFT] = (keys & KIT_KEY_LEFT) != 0;
    held[SDLK_RIGHT] = (keys & KIT_KEY_RIGHT) != 0;
    simulate_step(held, nullptr);
}

int kit_race_length(int r) { return racer_length(r); }

kit_ball kit_race_ball(int r, int b) {
    return {balls[b].x[r] + view_half_width(), balls[b].y[r] + view_half_height(), balls[b].heading[r]};
}

int kit_race_laps(int r) { return racers[r].completed_laps; }

bool kit_race_passed(int k, int r) { return k >= 0 && k < 500 && checkpoint_passed[k][r] != 0; }

void kit_race_camera(int x, int y) {
    camera_x[0] = x;
    camera_y[0] = y;
}
