// SPDX-License-Identifier: GPL-3.0-or-later
// The start countdown over the darkened first picture of a race.
#include <gtest/gtest.h>

#include <map>
#include <string>

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

class OverlayCountdown : public ::testing::Test {
  protected:
    SDL_Surface* picture = nullptr;   // what the window held when the countdown began

    void SetUp() override { start_game_headless(); }
    void TearDown() override { SDL_FreeSurface(picture); }

    void two_player_window() {
        two_players = live_race.two_players = true;
        live_race.view_width = 400;
        set_video_mode(800, 500);
    }
    // A race picture of a few coloured blocks, kept aside to build the
    // expected overlay from.
    void paint_race_picture() {
        SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 40, 120, 60));
        SDL_Rect a = {30, 200, 300, 120};
        SDL_FillRect(screen, &a, SDL_MapRGB(screen->format, 230, 210, 90));
        SDL_Rect b = {(Sint16)(screen->w - 100), 0, 100, 500};
        SDL_FillRect(screen, &b, SDL_MapRGB(screen->format, 200, 40, 40));
        picture = copy_of_screen();
    }
    // Which of the four labels the window shows exactly as the rule draws it.
    std::string label_shown(int x) {
        std::string found;
        for (const char* label : {" 3", " 2", " 1", "GO!"}) {
            SDL_Surface* e = expected_overlay(picture);
            text_white(e, x, 240, label, large_font);
            if (differing_pixels(screen, e) == 0) found += found.empty() ? label : std::string("|") + label;
            SDL_FreeSurface(e);
        }
        return found.empty() ? "none" : found;
    }
};

TEST_F(OverlayCountdown, EachNumberForOneSecondThenGo) {
    paint_race_picture();
    race_start_ticks = game_ticks();
    std::map<Uint32, std::string> seen;
    int passes = 0;
    OverlayPasses hook([&] {
        passes++;
        Uint32 t = game_ticks() - race_start_ticks;
        for (Uint32 at : {0u, 990u, 1000u, 1990u, 2000u, 2990u, 3000u, 3990u})
            if (t == at) seen[t] = label_shown(230);
    });
    start_countdown();
    EXPECT_EQ(seen[0], " 3");
    EXPECT_EQ(seen[990], " 3");
    EXPECT_EQ(seen[1000], " 2");
    EXPECT_EQ(seen[1990], " 2");
    EXPECT_EQ(seen[2000], " 1");
    EXPECT_EQ(seen[2990], " 1");
    EXPECT_EQ(seen[3000], "GO!");
    EXPECT_EQ(seen[3990], "GO!");
    // Passes of 10 ms until 4000 ms have gone by, then the frame goes on.
    EXPECT_EQ(passes, 400);
    EXPECT_EQ(game_ticks() - race_start_ticks, 4000u);
    EXPECT_EQ(game_screen, SCREEN_MENU) << "the countdown by itself changes no screen";
}

TEST_F(OverlayCountdown, StartsWhereTheTicksAreAndStandsRightInTwoPlayerMode) {
    two_player_window();
    paint_race_picture();
    race_start_ticks = game_ticks() - 2500;
    std::string first;
    int passes = 0;
    OverlayPasses hook([&] {
        if (passes++ == 0) first = label_shown(370);
    });
    start_countdown();
    EXPECT_EQ(first, " 1");
    EXPECT_EQ(passes, 150);
    // Over once four seconds have passed.
    race_start_ticks = game_ticks() - 4000;
    start_countdown();
    EXPECT_EQ(passes, 150);
}

TEST_F(OverlayCountdown, ClosingTheWindowQuitsAndKeysDoNothing) {
    game_screen = SCREEN_RACE;
    race_start_ticks = game_ticks();
    int passes = 0;
    OverlayPasses hook([&] {
        // Menu keys and P are not the countdown's; the close button ends it.
        if (++passes == 1) {
            push_key(SDLK_RETURN);
            push_key(SDLK_p);
            push_key(SDLK_UP);
        } else {
            push_quit();
        }
    });
    start_countdown();
    EXPECT_EQ(passes, 2);
    EXPECT_EQ(game_screen, SCREEN_QUIT);
    EXPECT_EQ(screen->w, 500);
    EXPECT_FALSE(paused);
}

TEST_F(OverlayCountdown, RunsInsideTheFirstRaceFrameOverItsPicture) {
    race_settings.level_index = 0;
    load_level();
    ASSERT_EQ(game_screen, SCREEN_RACE);
    int passes = 0;
    std::string label;
    SDL_Surface* first = nullptr;
    OverlayPasses hook([&] {
        if (passes++ == 0) {
            // frozen_frame holds the race picture: lap display and all.
            first = surface_like_screen(500, 500);
            blit_whole(frozen_frame, first, 0, 0);
            picture = first;
            label = label_shown(230);
        }
    });
    race_frame();
    EXPECT_EQ(passes, 400);
    EXPECT_EQ(label, " 3");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(glyph_mismatches(first, 15, 13, "Lap: 0", small_font, 0x000000), 0);
    // Later frames find the countdown over.
    passes = 0;
    race_frame();
    EXPECT_EQ(passes, 0);
    EXPECT_EQ(game_screen, SCREEN_RACE);
}

TEST_F(OverlayCountdown, EscapeInTheFirstFrameLeavesTheRace) {
    race_settings.level_index = 0;
    two_players = live_race.two_players = true;
    load_level();
    ASSERT_EQ(screen->w, 800);
    int passes = 0;
    OverlayPasses hook([&] { passes++; });
    push_key(SDLK_ESCAPE);
    race_frame();
    EXPECT_EQ(passes, 1);
    EXPECT_EQ(game_screen, SCREEN_MENU);
    EXPECT_EQ(screen->w, 500);
    EXPECT_EQ(screen->h, 500);
}
