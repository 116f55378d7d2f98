// SPDX-License-Identifier: GPL-3.0-or-later
// Gamepads: races driven by pad states as by the keys, Start as the pause,
// menu walks with the held-direction repeat, and pads plugged in and pulled out.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <vector>

#include "base/clock.h"
#include "core/state.h"
#include "harness.h"
#include "io/events.h"
#include "io/pads.h"
#include "menu/menu.h"
#include "race/race.h"
#include "shell/shell.h"
#include "test_view_support.h"
#include "track/track.h"
#include "view/view.h"

namespace {

constexpr Uint32 BUTTON_0 = 1u << 0, BUTTON_1 = 1u << 1;
constexpr Uint32 START = 1u << 7;   // on the 11 buttons of the Xbox layout

// What one player does in one frame.
enum { FORWARD = 1, BACKWARD = 2, LEFT = 4, RIGHT = 8 };

// Every ball of every racer, after one frame.
std::vector<float> race_picture() {
    std::vector<float> v;
    for (int b = 0; b < MAX_BALLS; b++)
        for (int r = 0; r < RACERS; r++)
            v.insert(v.end(), {live_race.balls[b].x[r], live_race.balls[b].y[r], live_race.balls[b].heading[r]});
    return v;
}

// A race on the first level with its countdown over, the same every time:
// its random draws, and no speed kept from the race before.
void start_race(bool two_players) {
    ::two_players = two_players;
    race_settings.level_index = 0;
    live_race = new_race();
    std::srand(1);
    load_level();
    race_start_ticks = game_ticks() - 10000;
}

// Runs `frames` race frames, `set(f)` giving the input before frame f.
std::vector<std::vector<float>> race_with(bool two_players, int frames, const std::function<void(int)>& set) {
    start_race(two_players);
    std::vector<std::vector<float>> pictures;
    for (int f = 0; f < frames; f++) {
        set(f);
        race_frame();
        pictures.push_back(race_picture());
    }
    EXPECT_EQ(game_screen, SCREEN_RACE);
    return pictures;
}

void hold_keys(int what, SDLKey forward, SDLKey backward, SDLKey left, SDLKey right) {
    hold_key(forward, what & FORWARD);
    hold_key(backward, what & BACKWARD);
    hold_key(left, what & LEFT);
    hold_key(right, what & RIGHT);
}

// A script of several seconds that uses every control.
int player_1_script(int f) {
    return f < 40 ? FORWARD | LEFT : f < 80 ? FORWARD | RIGHT : f < 100 ? BACKWARD : f < 120 ? 0 : FORWARD;
}
int player_2_script(int f) {
    return f < 30 ? FORWARD : f < 70 ? FORWARD | RIGHT : f < 90 ? BACKWARD | LEFT : FORWARD | LEFT;
}

// The same script on a pad, `with_stick` turning and going by the stick
// (else the d-pad and the buttons); a stick at rest sits at the dead zone.
void pad_does(pad_state& p, int what, bool with_stick) {
    p.buttons = 0;
    p.hat = SDL_HAT_CENTERED;
    p.x = PAD_DEAD_ZONE;
    p.y = -PAD_DEAD_ZONE;
    if (with_stick) {
        if (what & LEFT) p.x = -20000;
        if (what & RIGHT) p.x = 32767;
        if (what & FORWARD) p.y = -32768;
        if (what & BACKWARD) p.y = PAD_DEAD_ZONE + 1;
    } else {
        if (what & LEFT) p.hat |= SDL_HAT_LEFT;
        if (what & RIGHT) p.hat |= SDL_HAT_RIGHT;
        if (what & FORWARD) p.buttons |= BUTTON_0;
        if (what & BACKWARD) p.buttons |= BUTTON_1;
    }
}

// Drains the events as a screen does; the keys that came.
std::vector<SDLKey> drain() {
    std::vector<SDLKey> keys;
    SDL_Event e;
    while (next_event(e))
        if (e.type == SDL_KEYDOWN) keys.push_back(e.key.keysym.sym);
    return keys;
}

class Pads : public ::testing::Test {
  protected:
    OverlayPasses watchdog;
    void SetUp() override { start_game_headless(); }
    void TearDown() override {
        release_all_keys();
        plug_test_pads(0);
        drop_events();
        paused = false;
        virtual_delay_hook = nullptr;
        quit_signal = 0;
    }
};

}  // namespace

TEST_F(Pads, WithNoPadTheRaceReadsTheKeyboardArrayItself) {
    start_race(false);
    hold_key(SDLK_UP, true);
    EXPECT_EQ(held_frame_input(false).drive.player[0], ACTION_FORWARD);
    hold_key(SDLK_UP, false);
    EXPECT_TRUE(drain().empty());
    EXPECT_EQ(start_button(11), 7);
    EXPECT_EQ(start_button(13), 9);
    EXPECT_EQ(start_button(4), -1);
}

TEST_F(Pads, TwoPadsDriveTwoPlayersExactlyAsTheirKeys) {
    const auto keyboard = race_with(true, 150, [](int f) {
        hold_keys(player_1_script(f), SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT);
        hold_keys(player_2_script(f), SDLK_w, SDLK_s, SDLK_a, SDLK_d);
    });
    release_all_keys();
    for (bool stick_first : {true, false}) {
        plug_test_pads(3);
        const auto pads = race_with(true, 150, [&](int f) {
            pad_does(test_pads[0], player_1_script(f), stick_first);
            pad_does(test_pads[1], player_2_script(f), !stick_first);
            // A third pad has no racer in a two-player race.
            pad_does(test_pads[2], BACKWARD | LEFT, false);
        });
        ASSERT_EQ(pads.size(), keyboard.size());
        for (size_t f = 0; f < pads.size(); f++)
            ASSERT_EQ(pads[f], keyboard[f]) << "frame " << f << (stick_first ? ", stick first" : ", d-pad first");
    }
    EXPECT_NE(keyboard.front(), keyboard.back()) << "the racers did not move";
}

TEST_F(Pads, InAOnePlayerRaceEveryPadAndTheKeyboardDrivePlayerOne) {
    const auto keyboard = race_with(false, 120, [](int f) {
        hold_keys(player_1_script(f) | (f % 50 < 10 ? LEFT : 0), SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT);
    });
    release_all_keys();
    plug_test_pads(2);
    const auto mixed = race_with(false, 120, [](int f) {
        const int what = player_1_script(f);
        pad_does(test_pads[0], what & (LEFT | RIGHT), true);   // the turns
        pad_does(test_pads[1], what & (FORWARD | BACKWARD), false);
        hold_key(SDLK_LEFT, f % 50 < 10);   // and the keyboard at once
    });
    for (size_t f = 0; f < mixed.size(); f++) ASSERT_EQ(mixed[f], keyboard[f]) << "frame " << f;
}

TEST_F(Pads, APadPulledOutMidRaceGivesItsRacerNothingMore) {
    // The pad is pulled out at frame 40 holding forward and left; SDL keeps
    // its last state, so the state read still has them.
    const auto keyboard = race_with(true, 80, [](int f) {
        hold_keys(f < 40 ? FORWARD | LEFT : 0, SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT);
        hold_keys(FORWARD, SDLK_w, SDLK_s, SDLK_a, SDLK_d);
    });
    release_all_keys();
    plug_test_pads(2);
    const auto pulled = race_with(true, 80, [](int f) {
        pad_does(test_pads[0], FORWARD | LEFT, false);
        test_pads[0].present = f < 40;
        pad_does(test_pads[1], FORWARD, true);
    });
    for (size_t f = 0; f < pulled.size(); f++) ASSERT_EQ(pulled[f], keyboard[f]) << "frame " << f;
}

// Start pauses a running race as Ctrl+P does, and resumes it as P does.
TEST_F(Pads, StartPausesAndResumesOnEitherLayout) {
    struct Layout { int buttons; Uint32 start, not_start; } layouts[] = {{11, 1u << 7, 1u << 9}, {13, 1u << 9, 1u << 7}};
    for (const Layout& l : layouts) {
        plug_test_pads(1, l.buttons);
        start_race(false);
        // The other button, R2 or a stick's click, does nothing.
        test_pads[0].buttons = l.not_start;
        race_frame();
        test_pads[0].buttons = l.start;
        int passes = 0;
        OverlayPasses hook([&] {
            EXPECT_TRUE(paused);
            passes++;
            // Held, released, pressed again: the second press resumes.
            test_pads[0].buttons = passes == 2 ? 0 : passes == 3 ? l.start : test_pads[0].buttons;
        });
        race_frame();
        EXPECT_EQ(passes, 3) << l.buttons << " buttons";
        EXPECT_FALSE(paused);
        EXPECT_EQ(game_screen, SCREEN_RACE);
        // Still held after the pause: no new pause.
        race_frame();
        race_frame();
        EXPECT_EQ(passes, 3);
    }
}

TEST_F(Pads, StartReadFirstByTheEndOfAFramePausesTheNextFrame) {
    plug_test_pads(1);
    start_race(false);
    race_frame();
    test_pads[0].buttons = START;
    EXPECT_TRUE(drain().empty()) << "the frame's own events";
    int passes = 0;
    OverlayPasses hook([&] {
        if (++passes == 2) test_pads[0].buttons = 0;
        if (passes == 3) test_pads[0].buttons = START;
    });
    race_frame();
    EXPECT_EQ(passes, 3);
    EXPECT_FALSE(paused);
}

TEST_F(Pads, KeyboardPauseEndsWithStartAndTheHeldStartDoesNotPauseAgain) {
    plug_test_pads(1);
    start_race(false);
    hold_key(SDLK_LCTRL, true);
    push_key(SDLK_p);
    int passes = 0;
    OverlayPasses hook([&] {
        passes++;
        if (passes == 1) hold_key(SDLK_LCTRL, false);
        if (passes == 4) test_pads[0].buttons = START;
    });
    race_frame();
    EXPECT_EQ(passes, 4);
    for (int f = 0; f < 5; f++) race_frame();
    EXPECT_EQ(passes, 4) << "Start held from the pause paused again";
    EXPECT_FALSE(paused);
}

// In a race the buttons and directions drive: neither button 1 (Escape on
// the menus) nor Start ends the countdown, leaves the race or ends the pause.
TEST_F(Pads, DrivingControlsNeverLeaveTheRace) {
    plug_test_pads(1);
    start_race(false);
    race_start_ticks = game_ticks();   // a countdown
    int passes = 0;
    OverlayPasses hook([&] {
        ++passes;
        const Uint32 presses[4] = {BUTTON_1, START, BUTTON_0, 0};
        test_pads[0].buttons = presses[passes % 4];
        test_pads[0].hat = passes % 3 ? SDL_HAT_DOWN : SDL_HAT_CENTERED;
    });
    race_frame();
    EXPECT_GT(passes, 350) << "the countdown ended early";
    EXPECT_FALSE(paused) << "Start in the countdown";
    const int countdown_passes = passes;
    for (int f = 0; f < 40; f++) {
        test_pads[0].buttons = f % 2 ? BUTTON_1 : BUTTON_0;
        race_frame();
        ASSERT_EQ(game_screen, SCREEN_RACE) << "frame " << f;
        ASSERT_EQ(passes, countdown_passes) << "frame " << f << ": an overlay ran";
    }
    // Paused: button 1 and directions do not end it, Start does.
    test_pads[0] = pad_state();
    test_pads[0].present = true;
    test_pads[0].button_count = 11;
    race_frame();
    test_pads[0].buttons = START;
    int paused_passes = 0;
    OverlayPasses in_pause([&] {
        ++paused_passes;
        test_pads[0].buttons = paused_passes < 20 ? (paused_passes % 2 ? BUTTON_1 : 0) : START;
        test_pads[0].hat = paused_passes < 20 ? SDL_HAT_UP : SDL_HAT_CENTERED;
    });
    race_frame();
    EXPECT_EQ(paused_passes, 20);
    EXPECT_EQ(game_screen, SCREEN_RACE);
}

TEST_F(Pads, AHeldDirectionRepeatsAfter400msThenEvery150ms) {
    plug_test_pads(2);
    game_screen = SCREEN_MENU;
    const Uint32 t0 = game_ticks();
    auto at = [&](Uint32 ms) {
        clock_set(t0 + ms);
        return drain();
    };
    test_pads[0].y = 30000;   // the stick held down
    EXPECT_EQ(at(0), std::vector<SDLKey>{SDLK_DOWN});
    EXPECT_TRUE(at(399).empty());
    EXPECT_EQ(at(400), std::vector<SDLKey>{SDLK_DOWN});
    // The second pad at once, on its own time.
    test_pads[1].hat = SDL_HAT_RIGHT;
    EXPECT_EQ(at(500), std::vector<SDLKey>{SDLK_RIGHT});
    EXPECT_TRUE(at(549).empty());
    EXPECT_EQ(at(550), std::vector<SDLKey>{SDLK_DOWN});
    EXPECT_EQ(at(900), (std::vector<SDLKey>{SDLK_DOWN, SDLK_RIGHT}));
    // Released and pressed again: at once, and the wait starts over.
    test_pads[0].y = 0;
    test_pads[1].hat = SDL_HAT_CENTERED;
    EXPECT_TRUE(at(1000).empty());
    test_pads[0].hat = SDL_HAT_UP;
    test_pads[0].buttons = BUTTON_0 | BUTTON_1;
    EXPECT_EQ(at(1010), (std::vector<SDLKey>{SDLK_UP, SDLK_RETURN, SDLK_ESCAPE}));
    EXPECT_TRUE(at(1409).empty()) << "buttons do not repeat";
    EXPECT_EQ(at(1410), std::vector<SDLKey>{SDLK_UP});
    // Within the dead zone the stick is at rest.
    test_pads[0] = pad_state();
    test_pads[0].present = true;
    test_pads[0].x = -PAD_DEAD_ZONE;
    test_pads[0].y = PAD_DEAD_ZONE;
    EXPECT_TRUE(at(2000).empty());
}

TEST_F(Pads, MenuWalkToATwoPlayerRaceWithThreeLaps) {
    plug_test_pads(2);
    ASSERT_EQ(game_screen, SCREEN_MENU);
    const int laps = race_settings.laps;
    // Each press is held one frame and released the next.
    auto frame = [] {
        if (game_screen == SCREEN_MENU) menu_frame();
        if (game_screen == SCREEN_SETTINGS) settings_frame();
    };
    auto press = [&](int pad, Uint8 hat, Uint32 buttons) {
        test_pads[pad].hat = hat;
        test_pads[pad].buttons = buttons;
        frame();
        test_pads[pad].hat = SDL_HAT_CENTERED;
        test_pads[pad].buttons = 0;
        frame();
    };
    press(1, SDL_HAT_UP, 0);   // from the first entry up to the last: Quit
    press(0, SDL_HAT_UP, 0);   // Settings
    EXPECT_EQ(menu_cursor, 2);
    press(0, SDL_HAT_CENTERED, BUTTON_0);
    ASSERT_EQ(game_screen, SCREEN_SETTINGS);
    menu_cursor = 3;   // Laps
    press(1, SDL_HAT_RIGHT, 0);
    EXPECT_EQ(race_settings.laps, laps + 1);
    press(0, SDL_HAT_LEFT, 0);
    press(0, SDL_HAT_LEFT, 0);
    EXPECT_EQ(race_settings.laps, laps - 1);
    press(1, SDL_HAT_CENTERED, BUTTON_1);
    ASSERT_EQ(game_screen, SCREEN_MENU);
    menu_cursor = 0;
    press(0, SDL_HAT_DOWN, 0);
    press(1, SDL_HAT_CENTERED, BUTTON_0);
    EXPECT_EQ(game_screen, SCREEN_LOAD);
    EXPECT_TRUE(two_players);
}

TEST_F(Pads, RaceEndScreenByPadAndNoRepeatOfAHeldForward) {
    plug_test_pads(1);
    // Up pressed on the menu and held through the race, driving forward as
    // it ends.
    test_pads[0].hat = SDL_HAT_UP;
    EXPECT_EQ(drain(), std::vector<SDLKey>{SDLK_UP});
    start_race(false);
    race_frame();
    for (int r = 0; r < RACERS; r++) live_race.racers[r].completed_laps = race_settings.laps;
    ASSERT_TRUE(race_over(live_race));
    SDL_BlitSurface(screen, nullptr, frozen_frame, nullptr);
    menu_cursor = 0;
    int passes = 0;
    std::vector<int> cursors;
    OverlayPasses hook([&] {
        ++passes;
        cursors.push_back(menu_cursor);
        if (passes == 150) test_pads[0].hat = SDL_HAT_CENTERED;
        if (passes == 151 || passes == 153) test_pads[0].hat = SDL_HAT_DOWN;
        if (passes == 152) test_pads[0].hat = SDL_HAT_CENTERED;
        if (passes == 154) test_pads[0].buttons = BUTTON_0;
    });
    race_end_screen();
    ASSERT_EQ(passes, 154);
    for (int p = 0; p < 151; p++) ASSERT_EQ(cursors[p], 0) << "pass " << p << ": the held forward moved the cursor";
    EXPECT_EQ(cursors[152], 1);
    EXPECT_EQ(cursors[153], 2);
    EXPECT_EQ(game_screen, SCREEN_MENU) << "Menu chosen with button 0";
}

namespace {
int plug_delays = 0;    // delays of the clock since the screen loop began
int plug_cursor = -1;   // the menu cursor a few frames after the rescan
}  // namespace

// A pad plugged in after the scan is found when the main menu is entered
// again; from the main menu, button 1 quits as Escape does.
TEST_F(Pads, APadPluggedInLaterWorksAfterAReturnToTheMenu) {
    plug_test_pads(0);
    test_pads_plugged = 1;
    test_pads[0].present = true;
    test_pads[0].hat = SDL_HAT_DOWN;
    menu_frame();
    EXPECT_EQ(menu_cursor, 0) << "read before any scan";
    game_screen = SCREEN_SETTINGS;
    plug_delays = 0;
    plug_cursor = -1;
    virtual_delay_hook = [] {
        const int d = ++plug_delays;
        if (d == 1) push_key(SDLK_ESCAPE);   // settings: back to the menu
        if (d == 8) {
            plug_cursor = menu_cursor;
            test_pads[0].hat = SDL_HAT_CENTERED;
        }
        if (d == 30) test_pads[0].buttons = BUTTON_1;
        if (d == 200) push_quit();
    };
    run_screen_loop();
    EXPECT_EQ(open_pad_count(), 1);
    EXPECT_EQ(plug_cursor, 1) << "the pad's down after the menu was entered";
    EXPECT_EQ(game_screen, SCREEN_QUIT);
    EXPECT_LT(plug_delays, 200) << "button 1 did not quit from the main menu";
}

TEST_F(Pads, AQuitSignalStaysTheOnlyEvent) {
    plug_test_pads(1);
    game_screen = SCREEN_MENU;
    test_pads[0].buttons = BUTTON_0;
    quit_signal = SIGTERM;
    SDL_Event e;
    ASSERT_TRUE(next_event(e));
    EXPECT_EQ(e.type, SDL_QUIT);
    EXPECT_FALSE(next_event(e));
}

// SDL's own joysticks, as the game opens them: whatever this machine has
// plugged in, at most four, opened again and again without harm.
TEST_F(Pads, SdlJoysticksOpenAndReadWithoutAPad) {
    const pad_source tests = pad_input;
    pad_input = sdl_pads;
    for (int scan = 0; scan < 3; scan++) {
        open_pads();
        const int n = SDL_NumJoysticks();
        EXPECT_EQ(open_pad_count(), n > MAX_PADS ? MAX_PADS : n);
        pad_state s;
        pad_input.read(open_pad_count(), s);
        EXPECT_FALSE(s.present) << "a pad that was not opened";
        if (n == 0) {
            EXPECT_EQ(held_frame_input(false).drive, RaceInput());
        }
    }
    close_pads();
    EXPECT_EQ(open_pad_count(), 0);
    pad_input = tests;
}
