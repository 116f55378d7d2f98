// SPDX-License-Identifier: GPL-3.0-or-later
// The race frame on the shipped first level: leaving it, the lap display and
// the two views side by side.
#include <gtest/gtest.h>

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

// A race loaded the way the menu starts one, with its countdown already over.
// No overlay is expected to open here; the guard stops one that would not end.
class ViewRaceFrame : public ::testing::Test {
    OverlayPasses watchdog;
};
class ViewLapDisplay : public ViewRaceFrame {};
class ViewTwoPlayerFrame : public ViewRaceFrame {};

static void race_on_first_level(bool two_players) {
    start_game_headless();
    race_settings.level_index = 0;
    ::two_players = two_players;
    load_level();
    ASSERT_EQ(game_screen, SCREEN_RACE);
    race_start_ticks = game_ticks() - 10000;
}

TEST_F(ViewRaceFrame, EscapeReturnsToTheMenuWithA500Window) {
    for (bool two : {false, true}) {
        race_on_first_level(two);
        ASSERT_EQ(screen->w, two ? 800 : 500);
        push_key(SDLK_RETURN);
        push_key(SDLK_p);
        race_frame();
        EXPECT_EQ(game_screen, SCREEN_RACE) << "other keys do not leave";
        EXPECT_FALSE(paused);
        push_key(SDLK_ESCAPE);
        Uint32 before = game_ticks();
        race_frame();
        EXPECT_EQ(game_screen, SCREEN_MENU);
        EXPECT_EQ(screen->w, 500);
        EXPECT_EQ(screen->h, 500);
        EXPECT_GE(game_ticks() - before, 20u) << "the leaving frame is still paced";
    }
}

TEST_F(ViewRaceFrame, ClosingTheWindowQuits) {
    race_on_first_level(false);
    push_quit();
    race_frame();
    EXPECT_EQ(game_screen, SCREEN_QUIT);
}

TEST_F(ViewLapDisplay, ShowsLapZeroOfTheRaceLapsAtTheStart) {
    race_on_first_level(false);
    race_frame();
    EXPECT_EQ(glyph_mismatches(screen, 15, 13, "Lap: 0", small_font, 0x000000), 0);
    EXPECT_EQ(glyph_mismatches(screen, 85, 13, "/3", small_font, 0x000000), 0);
    // The check tells texts apart.
    EXPECT_GT(glyph_mismatches(screen, 15, 13, "Lap: 1", small_font, 0x000000), 0);
    EXPECT_GT(glyph_mismatches(screen, 85, 13, "/5", small_font, 0x000000), 0);
}

TEST_F(ViewLapDisplay, FollowsCompletedLapsAndTheRaceLaps) {
    race_on_first_level(false);
    live_race.laps = 12;   // the race's own, set from the settings at its set-up
    live_race.racers[0].completed_laps = 7;
    live_race.racers[1].completed_laps = 2;
    live_race.racers[2].completed_laps = 9;
    // On white, a black text drawn anywhere would show.
    SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 255, 255, 255));
    draw_lap_display(live_race);
    EXPECT_EQ(glyph_mismatches(screen, 15, 13, "Lap: 7", small_font, 0x000000), 0);
    EXPECT_EQ(glyph_mismatches(screen, 85, 13, "/12", small_font, 0x000000), 0);
    // Player 3's laps are never shown; in one-player mode nor are player 2's.
    EXPECT_GT(glyph_mismatches(screen, 15, 13, "Lap: 9", small_font, 0x000000), 0);
    EXPECT_GT(glyph_mismatches(screen, 415, 13, "Lap: 2", small_font, 0x000000), 0);
}

TEST_F(ViewTwoPlayerFrame, DividingLineAndNothingOfViewOneRightOf399) {
    race_on_first_level(true);
    // Player 2 some way from player 1, so the two views differ.
    for (int b = 0; b < MAX_BALLS; b++) live_race.balls[b].y[1] += 150.0f;
    race_frame();
    ASSERT_EQ(screen->w, 800);
    for (int y = 0; y < 500; y++) ASSERT_EQ(pixel_at(screen, 400, y), 0u) << "column 400 at row " << y;
    // Right of the line the window is view 2 exactly, except for player 2's lap texts.
    int differ = 0, view2_drawn = 0, view1_near_line = 0;
    for (int y = 0; y < 500; y++) {
        if (pixel_at(screen, 399, y) != 0) view1_near_line++;
        for (int x = 401; x < 800; x++) {
            if (y >= 10 && y < 40 && x >= 410 && x < 530) continue;
            Uint32 v2 = pixel_at(second_view, x - 400, y);
            if (v2 != 0) view2_drawn++;
            if (pixel_at(screen, x, y) != v2) differ++;
        }
    }
    EXPECT_EQ(differ, 0);
    EXPECT_GT(view2_drawn, 1000) << "view 2 shows the track";
    EXPECT_GT(view1_near_line, 100) << "view 1 reaches the line, so it would spill without the copy";
    EXPECT_EQ(glyph_mismatches(screen, 415, 13, "Lap: 0", small_font, 0x000000), 0);
    EXPECT_EQ(glyph_mismatches(screen, 485, 13, "/3", small_font, 0x000000), 0);
    EXPECT_EQ(glyph_mismatches(screen, 15, 13, "Lap: 0", small_font, 0x000000), 0);
    // Player 2's laps on the right.
    live_race.racers[1].completed_laps = 2;
    race_frame();
    EXPECT_EQ(glyph_mismatches(screen, 415, 13, "Lap: 2", small_font, 0x000000), 0);
    EXPECT_EQ(glyph_mismatches(screen, 15, 13, "Lap: 0", small_font, 0x000000), 0);
}
