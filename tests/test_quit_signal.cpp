// SPDX-License-Identifier: GPL-3.0-or-later
// A quit asked for by the system (SIGTERM, SIGINT) ends every screen at its
// next pass, with Ctrl held, and whatever keys come with it.
#include <gtest/gtest.h>

#include <csignal>

#include "base/clock.h"
#include "core/state.h"
#include "harness.h"
#include "io/assets.h"
#include "io/events.h"
#include "menu/menu.h"
#include "race/race.h"
#include "shell/shell.h"
#include "test_view_support.h"
#include "track/track.h"
#include "view/view.h"

namespace {

class QuitSignal : public ::testing::Test {
  protected:
    OverlayPasses watchdog;
    void SetUp() override {
        start_game_headless();
        quit_signal = 0;
    }
    void TearDown() override {
        quit_signal = 0;
        virtual_delay_hook = nullptr;
        release_all_keys();
        drop_events();
        paused = false;
    }
    // A race on the first level with its countdown over.
    void start_race() {
        race_settings.level_index = 0;
        load_level();
        race_start_ticks = game_ticks() - 10000;
    }
};

// Counts frames and overlay passes by the clock's delays, which every one
// of them ends with; the signal comes at delay `at`.
int delays = 0;
int signal_at = 0;
// A screen still running long after the signal is a fault: the close
// button ends it so that the test fails instead of hanging.
void count_delay() {
    if (++delays == signal_at) quit_signal = SIGTERM;
    if (delays == signal_at + 500) {
        ADD_FAILURE() << "still running 500 frames after the signal";
        push_quit();
    }
}

void signal_after_delays(int n) {
    delays = 0;
    signal_at = n;
    virtual_delay_hook = count_delay;
}

}  // namespace

TEST_F(QuitSignal, OneQuitPerDrainAndNothingElse) {
    push_key(SDLK_ESCAPE);
    quit_signal = SIGINT;
    for (int drain = 0; drain < 3; drain++) {
        SDL_Event e;
        ASSERT_TRUE(next_event(e));
        EXPECT_EQ(e.type, SDL_QUIT);
        EXPECT_FALSE(next_event(e));
    }
}

TEST_F(QuitSignal, EndsTheMenusAndTheLoop) {
    for (int screen : {SCREEN_MENU, SCREEN_SETTINGS}) {
        game_screen = screen;
        signal_after_delays(5);
        run_screen_loop();
        EXPECT_EQ(game_screen, SCREEN_QUIT) << screen;
        EXPECT_GE(delays, 5);
        EXPECT_LE(delays, 7) << "the screen ran on after the signal";
        quit_signal = 0;
    }
}

TEST_F(QuitSignal, EndsTheCountdown) {
    race_settings.level_index = 0;
    game_screen = SCREEN_LOAD;
    signal_after_delays(20);   // well inside the four seconds
    run_screen_loop();
    EXPECT_EQ(game_screen, SCREEN_QUIT);
    EXPECT_LE(delays, 22);
}

TEST_F(QuitSignal, EndsARaceWithCtrlHeldAndTheEscapeAfterIt) {
    start_race();
    hold_key(SDLK_LCTRL, true);   // the pause check drops every event but P
    push_key(SDLK_ESCAPE);        // and an Escape must not turn quit into menu
    quit_signal = SIGTERM;
    race_frame();
    EXPECT_EQ(game_screen, SCREEN_QUIT);
}

TEST_F(QuitSignal, EndsThePause) {
    start_race();
    hold_key(SDLK_RCTRL, true);
    push_key(SDLK_p);
    int passes = 0;
    OverlayPasses hook([&] {
        if (++passes == 3) quit_signal = SIGTERM;
    });
    run_screen_loop();
    EXPECT_EQ(game_screen, SCREEN_QUIT);
    EXPECT_FALSE(paused);
    EXPECT_LE(passes, 4);
}

TEST_F(QuitSignal, EndsTheRaceEndScreen) {
    race_settings.chain_length[1] = race_settings.chain_length[2] = 0;
    race_settings.laps = 1;
    start_race();
    live_race.racers[0].completed_laps = 1;   // over: the race-end screen opens in this frame
    int passes = 0;
    OverlayPasses hook([&] {
        if (++passes == 2) quit_signal = SIGTERM;
    });
    run_screen_loop();
    EXPECT_EQ(game_screen, SCREEN_QUIT);
    EXPECT_EQ(passes, 2);   // the pass that saw the signal was the last
}
