// SPDX-License-Identifier: GPL-3.0-or-later
// The race-end check and the race-end screen.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
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

namespace {

struct Snapshot {
    int cursor, level, screen_value;
};

Snapshot snap() { return {menu_cursor, race_settings.level_index, game_screen}; }

// Runs the race-end screen with the keys of passes[i] arriving in pass i.
// Returns the state after each pass. Fails the test if the screen is still
// open after the scripted passes (and then closes it with Escape).
std::vector<Snapshot> run_race_end(const std::vector<std::vector<SDLKey>>& passes) {
    std::vector<Snapshot> after;
    size_t pass = 0;
    OverlayPasses hook([&] {
        if (pass > 0) after.push_back(snap());
        if (pass < passes.size()) {
            for (SDLKey k : passes[pass]) push_key(k);
        } else {
            ADD_FAILURE() << "the race-end screen is still open after " << passes.size() << " passes";
            push_key(SDLK_ESCAPE);
        }
        pass++;
    });
    race_end_screen();
    after.push_back(snap());
    EXPECT_EQ(after.size(), passes.size());
    return after;
}

}  // namespace

class OverlayRaceEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        start_game_headless();
        game_screen = SCREEN_RACE;
        SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 60, 140, 90));
        SDL_BlitSurface(screen, nullptr, frozen_frame, nullptr);
    }
    void two_player_window() {
        two_players = live_race.two_players = true;
        live_race.view_width = 400;
        set_video_mode(800, 500);
    }
};

TEST_F(OverlayRaceEnd, OpensOnlyWhenEveryRacerTakingPartHasFinished) {
    struct Case { int lengths[3]; int laps_done[3]; bool opens; } cases[] = {
        {{7, 2, 5}, {2, 2, 1}, false},
        {{7, 2, 5}, {2, 1, 2}, false},
        {{7, 2, 5}, {1, 2, 2}, false},
        {{7, 2, 5}, {2, 2, 2}, true},
        {{7, 2, 5}, {3, 2, 4}, true},
        {{7, 0, 0}, {2, 0, 0}, true},    // racing alone: over when player 1 is
        {{7, 0, 0}, {1, 0, 0}, false},
        {{7, 0, 5}, {2, 0, 1}, false},
        {{7, 0, 5}, {2, 0, 2}, true},
    };
    live_race.laps = 2;
    for (const Case& c : cases) {
        for (int r = 0; r < 3; r++) {
            live_race.lengths[r] = c.lengths[r];
            live_race.racers[r].completed_laps = c.laps_done[r];
        }
        game_screen = SCREEN_RACE;
        int passes = 0;
        OverlayPasses hook([&] {
            passes++;
            push_key(SDLK_ESCAPE);
        });
        race_end_check();
        EXPECT_EQ(passes, c.opens ? 1 : 0) << c.lengths[0] << c.lengths[1] << c.lengths[2] << " laps "
                                           << c.laps_done[0] << c.laps_done[1] << c.laps_done[2];
        EXPECT_EQ(game_screen, c.opens ? SCREEN_MENU : SCREEN_RACE);
    }
}

TEST_F(OverlayRaceEnd, ShowsButtonsLevelNameAndWinner) {
    CatalogueSwap names({"Alpha", "Bravo", "Charlie"});
    race_settings.level_index = 1;
    menu_cursor = 1;
    SDL_Surface* under = copy_of_screen();
    for (int w : {0, 1, 2, 3}) {
        live_race.winner = w;
        int mismatch = -1, other_winner = -1;
        OverlayPasses hook([&] {
            SDL_Surface* e = expected_overlay(under);
            draw_button(e, 180, 150, "Level:", 1, 0, small_font);
            draw_button(e, 180, 180, "Ok", 1, 1, small_font);
            draw_button(e, 180, 210, "Menu", 1, 2, small_font);
            text_pink(e, 230, 153, "Bravo", small_font);
            std::string won = "Player " + std::to_string(w) + " won!";
            if (w > 0) text_white(e, 125, 50, won.c_str(), large_font);
            mismatch = differing_pixels(screen, e);
            SDL_FreeSurface(e);
            std::string other = "Player " + std::to_string(w % 3 + 1) + " won!";
            other_winner = glyph_mismatches(screen, 125, 50, other.c_str(), large_font, 0xFFFFFF);
            push_key(SDLK_ESCAPE);
        });
        race_end_screen();
        EXPECT_EQ(mismatch, 0) << "winner " << w;
        EXPECT_GT(other_winner, 0) << "winner " << w;
    }
    SDL_FreeSurface(under);
}

TEST_F(OverlayRaceEnd, LeftAndRightChangeTheLevelOnlyOnLevelAndWrap) {
    CatalogueSwap names({"a", "b", "c"});
    race_settings.level_index = 0;
    menu_cursor = 0;
    auto s = run_race_end({
        {SDLK_LEFT},                // 0 -> -1, wraps to the last
        {SDLK_RIGHT},               // 2 -> 3, wraps to the first
        {SDLK_RIGHT},
        {SDLK_DOWN, SDLK_LEFT},     // on "Ok" now: no change
        {SDLK_RIGHT},
        {SDLK_DOWN, SDLK_RIGHT},    // on "Menu": no change
        {SDLK_LEFT, SDLK_ESCAPE},
    });
    ASSERT_EQ(s.size(), 7u);
    EXPECT_EQ(s[0].level, 2);
    EXPECT_EQ(s[1].level, 0);
    EXPECT_EQ(s[2].level, 1);
    EXPECT_EQ(s[3].level, 1);
    EXPECT_EQ(s[3].cursor, 1);
    EXPECT_EQ(s[4].level, 1);
    EXPECT_EQ(s[5].level, 1);
    EXPECT_EQ(s[5].cursor, 2);
    EXPECT_EQ(s[6].level, 1);
    EXPECT_EQ(s[6].screen_value, SCREEN_MENU);
}

TEST_F(OverlayRaceEnd, CursorWrapsBothWays) {
    menu_cursor = 0;
    auto s = run_race_end({{SDLK_UP}, {SDLK_UP}, {SDLK_DOWN}, {SDLK_DOWN}, {SDLK_DOWN, SDLK_ESCAPE}});
    ASSERT_EQ(s.size(), 5u);
    EXPECT_EQ(s[0].cursor, 2) << "Up from \"Level:\" goes to \"Menu\"";
    EXPECT_EQ(s[1].cursor, 1);
    EXPECT_EQ(s[2].cursor, 2);
    EXPECT_EQ(s[3].cursor, 0);
    EXPECT_EQ(s[4].cursor, 1);
}

TEST_F(OverlayRaceEnd, ReturnOnLevelDoesNothing) {
    CatalogueSwap names({"a", "b"});
    menu_cursor = 0;
    race_settings.level_index = 1;
    auto s = run_race_end({{SDLK_RETURN}, {SDLK_RETURN}, {SDLK_ESCAPE}});
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[1].screen_value, SCREEN_RACE);
    EXPECT_EQ(s[1].level, 1);
    EXPECT_EQ(s[1].cursor, 0);
}

TEST_F(OverlayRaceEnd, LeavingByMenuEscapeOrClose) {
    for (int way = 0; way < 2; way++) {
        two_player_window();
        game_screen = SCREEN_RACE;
        menu_cursor = 2;
        auto s = run_race_end({{way == 0 ? SDLK_RETURN : SDLK_ESCAPE}});
        EXPECT_EQ(s.back().screen_value, SCREEN_MENU);
        EXPECT_EQ(screen->w, 500);
        EXPECT_EQ(screen->h, 500);
        EXPECT_EQ(menu_cursor, 2) << "the cursor is kept for the menu";
        EXPECT_TRUE(two_players);
    }
    // The close button quits.
    game_screen = SCREEN_RACE;
    int passes = 0;
    OverlayPasses hook([&] { passes++; });
    push_quit();
    race_end_screen();
    EXPECT_EQ(passes, 1);
    EXPECT_EQ(game_screen, SCREEN_QUIT);
}

TEST_F(OverlayRaceEnd, SeveralEventsInOnePassAreAllHandled) {
    CatalogueSwap names({"a", "b", "c"});
    two_player_window();
    race_settings.level_index = 0;
    menu_cursor = 0;
    // Right on "Level:", Down to "Ok", Return: the next race on level 1.
    auto s = run_race_end({{SDLK_RIGHT, SDLK_DOWN, SDLK_RETURN}});
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].level, 1);
    EXPECT_EQ(s[0].cursor, 1);
    EXPECT_EQ(s[0].screen_value, SCREEN_LOAD);
    EXPECT_TRUE(two_players) << "the next race keeps the mode";

    // Events after the one that ends the screen still count.
    game_screen = SCREEN_RACE;
    menu_cursor = 1;
    s = run_race_end({{SDLK_ESCAPE, SDLK_DOWN, SDLK_UP, SDLK_UP}});
    EXPECT_EQ(s[0].screen_value, SCREEN_MENU);
    EXPECT_EQ(s[0].cursor, 0);
    game_screen = SCREEN_RACE;
    menu_cursor = 2;
    s = run_race_end({{SDLK_RETURN, SDLK_UP, SDLK_RETURN}});   // "Menu", then "Ok"
    EXPECT_EQ(s[0].screen_value, SCREEN_LOAD);
}

TEST_F(OverlayRaceEnd, OkLoadsTheChosenLevelInTheSameMode) {
    // Level 1 of this catalogue is a scratch file beside the shipped one.
    // Named after the process: the plain and the sanitized suites may run at once.
    std::string copy_name = "RaceEndTest" + std::to_string(getpid());
    std::string path = "filut/levelit/" + copy_name + ".txt";
    struct Remove {
        std::string p;
        ~Remove() { remove(p.c_str()); }
    } cleanup{path};
    FILE* f = fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fputs("0006\n......\n.M....\n......\n......\n......\n......\n", f);
    fclose(f);
    CatalogueSwap names({"FirstLoop", copy_name.c_str()});
    race_settings.level_index = 0;
    two_players = live_race.two_players = true;
    load_level();
    ASSERT_EQ(loaded_track.size, 16);   // FirstLoop
    menu_cursor = 0;
    auto s = run_race_end({{SDLK_RIGHT}, {SDLK_DOWN}, {SDLK_RETURN}});
    EXPECT_EQ(s.back().screen_value, SCREEN_LOAD);
    load_level();
    EXPECT_EQ(game_screen, SCREEN_RACE);
    EXPECT_EQ(loaded_track.size, 6);
    EXPECT_EQ(loaded_track.finish_x, 50);
    EXPECT_EQ(screen->w, 800) << "still two players";
    EXPECT_EQ(race_settings.level_index, 1) << "the choice stays for later races";
}

TEST_F(OverlayRaceEnd, CatalogueWithoutNamesNeverGivesANegativeLevel) {
    // A catalogue file with text but no '#': the text sits in entry 0.
    CatalogueSwap names({"Loose"}, -1);
    race_settings.level_index = 0;
    menu_cursor = 0;
    int name_shown = -1;
    auto s = run_race_end({{SDLK_LEFT}, {SDLK_LEFT, SDLK_LEFT}, {SDLK_RIGHT}, {SDLK_ESCAPE}});
    for (const Snapshot& x : s) EXPECT_EQ(x.level, 0);
    // Entry 0 is still shown.
    OverlayPasses hook([&] {
        name_shown = glyph_mismatches(screen, 230, 153, "Loose", small_font, 0xFCCEFB);
        push_key(SDLK_ESCAPE);
    });
    race_end_screen();
    EXPECT_EQ(name_shown, 0);
}

TEST_F(OverlayRaceEnd, RaceFrameOpensItForTheFirstToFinish) {
    race_settings.level_index = 0;
    race_settings.laps = 1;
    load_level();
    race_start_ticks = game_ticks() - 10000;
    // All three complete the lap in the same frame: the lowest index wins.
    for (int r = 0; r < 3; r++) live_race.racers[r].completed_laps = 1;
    live_race.winner = 0;
    int winner_text = -1, passes = 0;
    OverlayPasses hook([&] {
        passes++;
        winner_text = glyph_mismatches(screen, 125, 50, "Player 1 won!", large_font, 0xFFFFFF);
        push_key(SDLK_ESCAPE);
    });
    race_frame();
    EXPECT_EQ(passes, 1);
    EXPECT_EQ(live_race.winner, 1);
    EXPECT_EQ(winner_text, 0);
    EXPECT_EQ(game_screen, SCREEN_MENU);
}
