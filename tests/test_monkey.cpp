// SPDX-License-Identifier: GPL-3.0-or-later
// A monkey at the keyboard: the whole game driven headless through every
// screen by random key presses and held keys, with the window closed near
// the end. Nothing may crash, hang or leave the game in a state it cannot
// have.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "base/clock.h"
#include "core/state.h"
#include "harness.h"
#include "io/assets.h"
#include "io/media.h"
#include "race/race.h"
#include "shell/shell.h"
#include "track/track.h"
#include "view/tiles.h"
#include "view/view.h"

namespace {

struct monkey_state {
    long frames = 0;
    long budget = 0;
    unsigned rng = 1;
    bool closing = false;
    int screens_seen[6] = {0, 0, 0, 0, 0, 0};
    long race_frames = 0;
    long two_player_frames = 0;
    std::string failure;
} monkey;

unsigned next_random() {
    monkey.rng = monkey.rng * 1103515245u + 12345u;
    return (monkey.rng >> 8) & 0xFFFFFF;
}

bool finite_race_values() {
    for (int r = 0; r < RACERS; r++) {
        if (!std::isfinite(live_race.racers[r].speed)) return false;
        for (int b = 0; b < MAX_BALLS; b++)
            if (!std::isfinite(live_race.balls[b].x[r]) || !std::isfinite(live_race.balls[b].y[r]) ||
                !std::isfinite(live_race.balls[b].heading[r]))
                return false;
    }
    return true;
}

void check_invariants() {
    int s = game_screen;
    if (s != 0 && s != 1 && s != 2 && s != 4 && s != 5) monkey.failure = "game_screen " + std::to_string(s);
    if (!screen || screen->h != 500 || (screen->w != 500 && screen->w != 800))
        monkey.failure = "window size";
    if (!finite_race_values()) monkey.failure = "a race value is not finite";
    if (s >= 0 && s <= 5) monkey.screens_seen[s]++;
    if (s == 2) monkey.race_frames++;
    if (s == 2 && two_players) monkey.two_player_frames++;
}

// Called at the end of every frame and overlay pass.
void monkey_tick() {
    monkey.frames++;
    check_invariants();
    Uint8* keys = SDL_GetKeyState(nullptr);
    if (monkey.frames >= monkey.budget) {
        // Time to go: let go of everything and close the window.
        monkey.closing = true;
        release_all_keys();
        push_quit();
        if (monkey.frames > monkey.budget + 5000) {
            // Closing the window no longer ends the game: a hang.
            fprintf(stderr, "monkey: the game ignored the close button for 5000 frames (screen %d)\n", game_screen);
            abort();
        }
        return;
    }
    // Held keys change now and then, mostly driving forward.
    if (next_random() % 8 == 0) {
        static const SDLKey held[] = {SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT, SDLK_w, SDLK_a, SDLK_s, SDLK_d, SDLK_LCTRL};
        for (SDLKey k : held) keys[k] = 0;
        keys[SDLK_UP] = next_random() % 4 != 0;
        keys[SDLK_w] = next_random() % 3 != 0;
        for (SDLKey k : held)
            if (next_random() % 6 == 0) keys[k] = 1;
        if (next_random() % 5 != 0) keys[SDLK_LCTRL] = 0;
    }
    // Key presses: navigation mostly, Escape and the pause key rarely.
    unsigned roll = next_random() % 100;
    if (roll < 12) {
        static const SDLKey nav[] = {SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT, SDLK_RETURN, SDLK_RETURN};
        push_key(nav[next_random() % 6]);
    } else if (roll < 14) {
        push_key(SDLK_p);
    } else if (roll == 14 && next_random() % 4 == 0) {
        push_key(SDLK_ESCAPE);
    } else if (roll == 15 && next_random() % 50 == 0) {
        push_quit();
    }
}

long frames_wanted() {
    const char* env = getenv("CHAINBALL_MONKEY_FRAMES");
    long n = env ? atol(env) : 0;
    return n > 0 ? n : 20000;
}

}  // namespace

TEST(Monkey, RandomKeysThroughEveryScreenBreakNothing) {
    start_game_headless();
    const long wanted = frames_wanted();
    monkey = monkey_state();
    monkey.rng = 20261207u;
    virtual_delay_hook = monkey_tick;
    int runs = 0;
    // The monkey sometimes quits early (Escape on the menu, the close
    // button): start the game's screens again until the frames are done.
    while (monkey.frames < wanted && monkey.failure.empty()) {
        runs++;
        release_all_keys();
        drop_events();
        for (int p = 0; p < 3; p++) race_settings.chain_length[p] = (int)(next_random() % 11);
        if (race_settings.chain_length[0] == 0) race_settings.chain_length[0] = 1;
        race_settings.laps = 1 + (int)(next_random() % 2);
        // Every shipped level in turn.
        race_settings.level_index = last_level_index >= 0 ? (runs - 1) % (last_level_index + 1) : 0;
        monkey.budget = std::min(wanted, monkey.frames + 1500 + (long)(next_random() % 1000));
        monkey.closing = false;
        game_screen = SCREEN_MENU;
        menu_cursor = (int)(next_random() % 2);   // a start entry, now and then
        run_screen_loop();
        ASSERT_EQ(game_screen, SCREEN_QUIT);
        set_video_mode(500, 500);
    }
    virtual_delay_hook = nullptr;
    release_all_keys();
    EXPECT_EQ(monkey.failure, "");
    EXPECT_GE(monkey.frames, wanted);
    // It did get around: menus, settings and races all ran.
    EXPECT_GT(monkey.screens_seen[SCREEN_MENU], 0);
    EXPECT_GT(monkey.screens_seen[SCREEN_SETTINGS], 0);
    EXPECT_GT(monkey.race_frames, 1000);
    EXPECT_GT(monkey.two_player_frames, 0);
    EXPECT_GT(monkey.race_frames - monkey.two_player_frames, 0);
    RecordProperty("frames", std::to_string(monkey.frames));
    printf("monkey: %ld frames in %d runs, %ld in races (%ld of them two-player)\n", monkey.frames, runs,
           monkey.race_frames, monkey.two_player_frames);
}
