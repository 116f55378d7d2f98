// SPDX-License-Identifier: GPL-3.0-or-later
// The pause: Ctrl+P inside a race frame, its picture, and what ends it.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "base/clock.h"
#include "core/state.h"
#include "harness.h"
#include "io/assets.h"
#include "io/media.h"
#include "race/race.h"
#include "shell/shell.h"
#include "test_view_support.h"
#include "track/track.h"
#include "view/tiles.h"
#include "view/view.h"

class OverlayPause : public ::testing::Test {
  protected:
    OverlayPasses watchdog;
    // A race on the first level with its countdown over.
    void SetUp() override {
        start_game_headless();
        race_settings.level_index = 0;
        load_level();
        ASSERT_EQ(game_screen, SCREEN_RACE);
        race_start_ticks = game_ticks() - 10000;
    }
    void TearDown() override { release_all_keys(); }
};

TEST_F(OverlayPause, NeitherPAloneNorCtrlAlonePauses) {
    int passes = 0;
    OverlayPasses hook([&] { passes++; });
    push_key(SDLK_p);
    race_frame();
    hold_key(SDLK_RCTRL, true);
    race_frame();
    EXPECT_EQ(passes, 0);
    EXPECT_FALSE(paused);
    EXPECT_EQ(game_screen, SCREEN_RACE);
}

TEST_F(OverlayPause, EitherCtrlWithPPausesAndEscapeOrPResumesInTheRace) {
    struct Case { SDLKey ctrl, resume; } cases[] = {
        {SDLK_LCTRL, SDLK_ESCAPE}, {SDLK_RCTRL, SDLK_p}, {SDLK_LCTRL, SDLK_p}, {SDLK_RCTRL, SDLK_ESCAPE}};
    for (const Case& c : cases) {
        release_all_keys();
        hold_key(c.ctrl, true);
        int passes = 0;
        bool paused_in_passes = true;
        OverlayPasses hook([&] {
            paused_in_passes = paused_in_passes && paused;
            // Other keys do not end the pause.
            if (++passes == 1) push_key(SDLK_RETURN);
            if (passes == 3) push_key(c.resume);
        });
        push_key(SDLK_p);
        race_frame();
        EXPECT_EQ(passes, 3) << c.ctrl << " " << c.resume;
        EXPECT_TRUE(paused_in_passes);
        EXPECT_FALSE(paused);
        EXPECT_EQ(game_screen, SCREEN_RACE) << "Escape ends the pause, not the race";
        EXPECT_EQ(screen->w, 500);
    }
}

TEST_F(OverlayPause, EventsQueuedWithCtrlHeldAreDropped) {
    hold_key(SDLK_LCTRL, true);
    int passes = 0;
    OverlayPasses hook([&] {
        if (++passes == 2) push_key(SDLK_p);
    });
    // Escape and close before the P, and after it: none of them counts.
    push_key(SDLK_ESCAPE);
    push_quit();
    push_key(SDLK_p);
    push_key(SDLK_ESCAPE);
    push_quit();
    race_frame();
    EXPECT_EQ(passes, 2);
    EXPECT_EQ(game_screen, SCREEN_RACE);
    // Without Ctrl the frame's own end sees Escape again.
    release_all_keys();
    push_key(SDLK_ESCAPE);
    race_frame();
    EXPECT_EQ(game_screen, SCREEN_MENU);
}

TEST_F(OverlayPause, ClosingTheWindowEndsThePauseAndQuits) {
    hold_key(SDLK_LCTRL, true);
    int passes = 0;
    OverlayPasses hook([&] {
        passes++;
        push_quit();
    });
    push_key(SDLK_p);
    race_frame();
    EXPECT_EQ(passes, 1);
    EXPECT_FALSE(paused);
    EXPECT_EQ(game_screen, SCREEN_QUIT);
}

TEST_F(OverlayPause, ShowsPauseAndHowToContinueOverTheDarkenedFrame) {
    for (bool two : {false, true}) {
        if (two) {
            two_players = live_race.two_players = true;
            load_level();
            race_start_ticks = game_ticks() - 10000;
        }
        // The picture under the pause is the frame's own, taken before the pause.
        SDL_Surface* before = nullptr;
        int mismatch = -1, pause_at = -1, hint_at = -1, wrong_place = -1;
        hold_key(SDLK_LCTRL, true);
        OverlayPasses hook([&] {
            before = surface_like_screen(screen->w, screen->h);
            blit_whole(frozen_frame, before, 0, 0);
            SDL_Surface* e = expected_overlay(before);
            int x = two ? 390 : 240;
            text_white(e, x - 50, 240, "Pause", large_font);
            text(e, x - 40, 280, "p to continue", small_font);
            mismatch = differing_pixels(screen, e);
            SDL_FreeSurface(e);
            pause_at = glyph_mismatches(screen, x - 50, 240, "Pause", large_font, 0xFFFFFF);
            hint_at = glyph_mismatches(screen, x - 40, 280, "p to continue", small_font, 0x000000);
            wrong_place = glyph_mismatches(screen, two ? 190 : 340, 240, "Pause", large_font, 0xFFFFFF);
            push_key(SDLK_p);
        });
        push_key(SDLK_p);
        race_frame();
        EXPECT_EQ(mismatch, 0) << "two players: " << two;
        EXPECT_EQ(pause_at, 0);
        EXPECT_EQ(hint_at, 0);
        EXPECT_GT(wrong_place, 0);
        ASSERT_NE(before, nullptr);
        // The frozen picture is the race frame: its lap display is in it.
        EXPECT_EQ(glyph_mismatches(before, 15, 13, "Lap: 0", small_font, 0x000000), 0);
        SDL_FreeSurface(before);
        release_all_keys();
    }
}

TEST_F(OverlayPause, NoSimulationWhilePausedAndNoTimeMadeUp) {
    // Two copies of the same race: one frame with a long pause, one without.
    // Up is held in both, so the frame moves player 1; player 1 races alone,
    // so no computer driver draws random numbers.
    race_settings.chain_length[1] = race_settings.chain_length[2] = 0;
    load_level();
    race_start_ticks = game_ticks() - 10000;
    BallRow start_balls[MAX_BALLS];
    Racer start_racers[RACERS];
    std::memcpy(start_balls, live_race.balls, sizeof live_race.balls);
    std::memcpy(start_racers, live_race.racers, sizeof live_race.racers);

    hold_key(SDLK_UP, true);
    hold_key(SDLK_LCTRL, true);
    race_frame();
    BallRow plain_balls[MAX_BALLS];
    Racer plain_racers[RACERS];
    std::memcpy(plain_balls, live_race.balls, sizeof live_race.balls);
    std::memcpy(plain_racers, live_race.racers, sizeof live_race.racers);
    ASSERT_NE(std::memcmp(plain_balls, start_balls, sizeof live_race.balls), 0) << "the frame moves the racers";

    std::memcpy(live_race.balls, start_balls, sizeof live_race.balls);
    std::memcpy(live_race.racers, start_racers, sizeof live_race.racers);
    int passes = 0;
    bool still = true;
    OverlayPasses hook([&] {
        // The pause comes after the frame's step: the racers stand where it left them.
        still = still && std::memcmp(live_race.balls, plain_balls, sizeof live_race.balls) == 0;
        if (++passes == 50) push_key(SDLK_p);
    });
    push_key(SDLK_p);
    race_frame();
    EXPECT_EQ(passes, 50);
    EXPECT_TRUE(still);
    EXPECT_EQ(std::memcmp(live_race.balls, plain_balls, sizeof live_race.balls), 0);
    EXPECT_EQ(std::memcmp(live_race.racers, plain_racers, sizeof live_race.racers), 0);
    // The next frame after the pause is one ordinary step on.
    race_frame();
    EXPECT_NE(std::memcmp(live_race.balls, plain_balls, sizeof live_race.balls), 0);
}

// Long pauses, F11 in them and a scaled window: every pass is drawn from
// the darkened picture made at the pause's start.
class OverlayPauseStill : public OverlayPause {
  protected:
    PlainWindow restore;

    // Pixels of the window that differ from the pause drawn by the rule over
    // the frozen frame.
    static int pause_mismatch() {
        SDL_Surface* under = surface_like_screen(screen->w, screen->h);
        blit_whole(frozen_frame, under, 0, 0);
        SDL_Surface* e = expected_overlay(under);
        const int x = two_players ? 390 : 240;
        text_white(e, x - 50, 240, "Pause", large_font);
        text(e, x - 40, 280, "p to continue", small_font);
        const int n = differing_pixels(screen, e);
        SDL_FreeSurface(e);
        SDL_FreeSurface(under);
        return n;
    }
    // Pauses the next race frame; `at_pass(n)` runs after pass n, and the
    // pause ends after `passes` passes. Returns the mismatches seen.
    std::vector<int> pause_for(int passes, std::function<void(int)> at_pass = nullptr) {
        std::vector<int> seen;
        int n = 0;
        hold_key(SDLK_LCTRL, true);
        OverlayPasses hook([&] {
            n++;
            seen.push_back(pause_mismatch());
            if (at_pass) at_pass(n);
            if (n == passes) push_key(SDLK_p);
        });
        push_key(SDLK_p);
        race_frame();
        hold_key(SDLK_LCTRL, false);
        EXPECT_EQ(n, passes);
        return seen;
    }
};

TEST_F(OverlayPauseStill, EveryPassAndEveryNewPauseShowsItsOwnFrameDarkened) {
    for (bool two : {false, true}) {
        if (two) {
            two_players = live_race.two_players = true;
            load_level();
            race_start_ticks = game_ticks() - 10000;
        }
        EXPECT_EQ(pause_for(4), std::vector<int>(4, 0)) << "two players: " << two;
        SDL_Surface* first = copy_of_screen();
        // The racers move on; the next pause must not show the old picture.
        hold_key(SDLK_UP, true);
        for (int i = 0; i < 40; i++) race_frame();
        hold_key(SDLK_UP, false);
        EXPECT_EQ(pause_for(3), std::vector<int>(3, 0)) << "two players: " << two;
        EXPECT_GT(differing_pixels(first, screen), 100);
        SDL_FreeSurface(first);
    }
}

TEST_F(OverlayPauseStill, F11DuringThePauseKeepsTheSamePictureInEitherMode) {
    bool full_after_1 = false, full_after_3 = true;
    std::vector<int> seen = pause_for(5, [&](int n) {
        if (n == 1 || n == 3) push_key(SDLK_F11);
        if (n == 2) full_after_1 = window_is_fullscreen();
        if (n == 4) full_after_3 = window_is_fullscreen();
    });
    EXPECT_EQ(seen, std::vector<int>(5, 0));
    EXPECT_TRUE(full_after_1);
    EXPECT_FALSE(full_after_3);
    EXPECT_FALSE(paused);
    EXPECT_EQ(game_screen, SCREEN_RACE);
}

TEST_F(OverlayPauseStill, ScaledPauseShowsTheDarkenedFrameEnlarged) {
    window_configure(3, false);
    two_players = live_race.two_players = true;
    load_level();
    race_start_ticks = game_ticks() - 10000;
    ASSERT_EQ(window_surface()->w, 2400);
    long wrong = -1;
    std::vector<int> seen = pause_for(2, [&](int n) {
        if (n == 2) wrong = check_enlarged(screen, window_surface(), 3, 0, 0).wrong_inside;
    });
    EXPECT_EQ(seen, std::vector<int>(2, 0));
    EXPECT_EQ(wrong, 0);
}
