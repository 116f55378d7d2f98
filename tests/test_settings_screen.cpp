// SPDX-License-Identifier: GPL-3.0-or-later
// The settings screen: bounds of every value, leaving, the music entry, the
// cursor, and the settings lasting for the rest of the run.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <initializer_list>

#include "base/clock.h"
#include "core/state.h"
#include "harness.h"
#include "io/assets.h"
#include "io/media.h"
#include "menu/menu.h"
#include "race/race.h"
#include "shell/shell.h"
#include "test_view_support.h"
#include "track/track.h"
#include "view/tiles.h"
#include "view/view.h"

class SettingsScreen : public ::testing::Test {
  protected:
    OverlayPasses watchdog;   // races run here too
    void SetUp() override {
        start_game_headless();
        game_screen = SCREEN_SETTINGS;
    }
    // One frame with these keys queued.
    static void frame(std::initializer_list<SDLKey> keys) {
        for (SDLKey k : keys) push_key(k);
        settings_frame();
    }
    static bool same_settings(const RaceSettings& a, const RaceSettings& b) {
        return std::memcmp(a.chain_length, b.chain_length, sizeof a.chain_length) == 0 && a.laps == b.laps &&
               a.level_index == b.level_index && a.music_on == b.music_on;
    }
    // The highlighted button is opaque, so its inside is the same whatever
    // background lies behind it: compare it with a button drawn here.
    static int button_mismatches(int entry, const char* label, const char* level_name = nullptr) {
        SDL_Surface* e = surface_like_screen(500, 500);
        SDL_FillRect(e, nullptr, 0);
        draw_button(e, 180, 150 + 30 * entry, label, entry, entry, small_font);
        if (level_name) text_pink(e, 230, 273, level_name, small_font);
        int n = differing_pixels(screen, e, 181, 151 + 30 * entry, 139, 19);
        SDL_FreeSurface(e);
        return n;
    }
};

TEST_F(SettingsScreen, PlayerOneLengthStaysFromOneToTen) {
    menu_cursor = 0;
    struct { int from; SDLKey key; int to; } cases[] = {
        {10, SDLK_RIGHT, 10}, {9, SDLK_RIGHT, 10}, {1, SDLK_LEFT, 1}, {2, SDLK_LEFT, 1}, {5, SDLK_RIGHT, 6}, {5, SDLK_LEFT, 4},
    };
    for (auto& c : cases) {
        race_settings.chain_length[0] = c.from;
        frame({c.key});
        EXPECT_EQ(race_settings.chain_length[0], c.to) << c.from << " key " << c.key;
    }
    race_settings.chain_length[0] = 3;
    frame({SDLK_LEFT, SDLK_LEFT, SDLK_LEFT, SDLK_LEFT});
    EXPECT_EQ(race_settings.chain_length[0], 1);
    frame({SDLK_RIGHT, SDLK_RIGHT, SDLK_RIGHT, SDLK_RIGHT, SDLK_RIGHT, SDLK_RIGHT, SDLK_RIGHT, SDLK_RIGHT, SDLK_RIGHT,
           SDLK_RIGHT, SDLK_RIGHT});
    EXPECT_EQ(race_settings.chain_length[0], 10);
    EXPECT_EQ(game_screen, SCREEN_SETTINGS);
}

TEST_F(SettingsScreen, PlayersTwoAndThreeStayFromZeroToTen) {
    for (int entry : {1, 2}) {
        menu_cursor = entry;
        struct { int from; SDLKey key; int to; } cases[] = {
            {0, SDLK_LEFT, 0}, {1, SDLK_LEFT, 0}, {10, SDLK_RIGHT, 10}, {9, SDLK_RIGHT, 10}, {0, SDLK_RIGHT, 1},
        };
        for (auto& c : cases) {
            race_settings.chain_length[entry] = c.from;
            int others[3] = {race_settings.chain_length[0], race_settings.chain_length[1], race_settings.chain_length[2]};
            frame({c.key});
            EXPECT_EQ(race_settings.chain_length[entry], c.to) << "entry " << entry << " from " << c.from;
            for (int r = 0; r < 3; r++)
                if (r != entry) {
                    EXPECT_EQ(race_settings.chain_length[r], others[r]);
                }
        }
    }
}

TEST_F(SettingsScreen, LapsStayAtLeastOneWithNoUpperBound) {
    menu_cursor = 3;
    race_settings.laps = 1;
    frame({SDLK_LEFT});
    EXPECT_EQ(race_settings.laps, 1);
    race_settings.laps = 2;
    frame({SDLK_LEFT, SDLK_LEFT});
    EXPECT_EQ(race_settings.laps, 1);
    race_settings.laps = 3;
    frame({SDLK_LEFT, SDLK_LEFT, SDLK_LEFT, SDLK_LEFT, SDLK_LEFT, SDLK_RIGHT, SDLK_RIGHT, SDLK_RIGHT});
    EXPECT_EQ(race_settings.laps, 1) << "the range is kept once, at the end of the frame";
    race_settings.laps = 999;
    frame({SDLK_RIGHT, SDLK_RIGHT});
    EXPECT_EQ(race_settings.laps, 1001);
    race_settings.laps = INT_MAX - 1;
    frame({SDLK_RIGHT, SDLK_RIGHT, SDLK_RIGHT});
    EXPECT_EQ(race_settings.laps, INT_MAX) << "stops where an int ends";
    // A Left at 1 never shows 0.
    race_settings.laps = 1;
    frame({SDLK_LEFT});
    frame({});
    EXPECT_EQ(button_mismatches(3, "Laps: 1"), 0);
    EXPECT_GT(button_mismatches(3, "Laps: 0"), 0);
}

TEST_F(SettingsScreen, LevelWrapsBothWays) {
    CatalogueSwap names({"a", "b", "c", "d"});
    menu_cursor = 4;
    race_settings.level_index = 0;
    frame({SDLK_LEFT});
    EXPECT_EQ(race_settings.level_index, 3);
    frame({SDLK_RIGHT});
    EXPECT_EQ(race_settings.level_index, 0);
    frame({SDLK_RIGHT, SDLK_RIGHT});
    EXPECT_EQ(race_settings.level_index, 2);
    frame({SDLK_LEFT});
    EXPECT_EQ(race_settings.level_index, 1);
    // One name: both ways stay on it.
    CatalogueSwap one({"only"});
    frame({SDLK_LEFT});
    EXPECT_EQ(race_settings.level_index, 0);
    frame({SDLK_RIGHT});
    EXPECT_EQ(race_settings.level_index, 0);
}

TEST_F(SettingsScreen, CatalogueWithoutNamesNeverGivesANegativeLevel) {
    CatalogueSwap names({"Loose"}, -1);
    menu_cursor = 4;
    race_settings.level_index = 0;
    frame({SDLK_LEFT});
    EXPECT_EQ(race_settings.level_index, 0);
    frame({SDLK_LEFT, SDLK_LEFT});
    EXPECT_EQ(race_settings.level_index, 0);
    frame({SDLK_RIGHT});
    EXPECT_EQ(race_settings.level_index, 0);
    // The text of entry 0 is shown beside "Level:".
    frame({});
    EXPECT_EQ(glyph_mismatches(screen, 230, 273, "Loose", small_font, 0xFCCEFB), 0);
}

TEST_F(SettingsScreen, LeftAndRightChangeNothingOnMusicDoneOrOutsideTheList) {
    CatalogueSwap names({"a", "b", "c"});
    RaceSettings before = race_settings;
    for (int entry : {5, 6}) {
        menu_cursor = entry;
        frame({SDLK_LEFT, SDLK_RIGHT, SDLK_RIGHT});
        EXPECT_TRUE(same_settings(race_settings, before)) << "entry " << entry;
        EXPECT_EQ(menu_cursor, entry);
    }
    // Up on the first entry and an arrow key in the same frame: the cursor is
    // -1 when the arrow arrives.
    menu_cursor = 0;
    frame({SDLK_UP, SDLK_LEFT, SDLK_RIGHT, SDLK_RIGHT});
    EXPECT_TRUE(same_settings(race_settings, before));
    EXPECT_EQ(menu_cursor, 6);
    menu_cursor = 6;
    frame({SDLK_DOWN, SDLK_RIGHT, SDLK_LEFT});
    EXPECT_TRUE(same_settings(race_settings, before));
    EXPECT_EQ(menu_cursor, 0);
    EXPECT_EQ(game_screen, SCREEN_SETTINGS);
}

TEST_F(SettingsScreen, EnterLeavesFromEveryEntryButMusic) {
    RaceSettings before = race_settings;
    for (int entry : {0, 1, 2, 3, 4, 6}) {
        game_screen = SCREEN_SETTINGS;
        menu_cursor = entry;
        frame({SDLK_RETURN});
        EXPECT_EQ(game_screen, SCREEN_MENU) << "entry " << entry;
        EXPECT_EQ(menu_cursor, entry) << "the cursor is kept for the menu";
        EXPECT_TRUE(same_settings(race_settings, before));
    }
    game_screen = SCREEN_SETTINGS;
    menu_cursor = 5;
    frame({SDLK_RETURN});
    EXPECT_EQ(game_screen, SCREEN_SETTINGS);
    frame({SDLK_RETURN});   // music back on
}

TEST_F(SettingsScreen, MusicEntryTogglesAndItsLabelFollows) {
    ASSERT_NE(music_chunk, nullptr) << "the shipped music loads";
    if (!Mix_Playing(0)) Mix_PlayChannelTimed(0, music_chunk, -1, -1);
    menu_cursor = 5;
    frame({});
    EXPECT_EQ(button_mismatches(5, "Stop music"), 0);
    EXPECT_EQ(Mix_Playing(0), 1);

    frame({SDLK_RETURN});
    EXPECT_FALSE(race_settings.music_on);
    EXPECT_EQ(Mix_Playing(0), 0);
    EXPECT_EQ(button_mismatches(5, "Stop music"), 0) << "the label changes in the next frame";
    frame({});
    EXPECT_EQ(button_mismatches(5, "Play music"), 0);
    EXPECT_GT(button_mismatches(5, "Stop music"), 0);

    frame({SDLK_RETURN});
    EXPECT_TRUE(race_settings.music_on);
    EXPECT_EQ(Mix_Playing(0), 1);
    frame({});
    EXPECT_EQ(button_mismatches(5, "Stop music"), 0);

    // Two toggles in one frame: off and on again.
    frame({SDLK_RETURN, SDLK_RETURN});
    EXPECT_TRUE(race_settings.music_on);
    EXPECT_EQ(Mix_Playing(0), 1);
    EXPECT_EQ(game_screen, SCREEN_SETTINGS);
}

TEST_F(SettingsScreen, MusicWithoutAChunkStaysSilent) {
    Mix_Chunk* saved = music_chunk;
    music_chunk = nullptr;
    menu_cursor = 5;
    frame({SDLK_RETURN});
    frame({SDLK_RETURN});
    EXPECT_TRUE(race_settings.music_on);
    EXPECT_EQ(Mix_Playing(0), 0);
    music_chunk = saved;
    Mix_PlayChannelTimed(0, music_chunk, -1, -1);
}

TEST_F(SettingsScreen, CursorWrapsBothWays) {
    menu_cursor = 0;
    frame({SDLK_UP});
    EXPECT_EQ(menu_cursor, 6);
    frame({SDLK_DOWN});
    EXPECT_EQ(menu_cursor, 0);
    frame({SDLK_DOWN, SDLK_DOWN, SDLK_DOWN});
    EXPECT_EQ(menu_cursor, 3);
    // Entered from the main menu's "Settings": player 3's length is highlighted.
    menu_cursor = 2;
    frame({});
    EXPECT_EQ(button_mismatches(2, "Player3 Length: 5"), 0);
}

TEST_F(SettingsScreen, ShowsEveryEntryWithItsValue) {
    CatalogueSwap names({"Meadow", "Harbour"});
    race_settings.chain_length[0] = 10;
    race_settings.chain_length[1] = 0;
    race_settings.chain_length[2] = 4;
    race_settings.laps = 27;
    race_settings.level_index = 1;
    const char* labels[7] = {"Player1 Length: 10", "Player2 Length: 0", "Player3 Length: 4", "Laps: 27", "Level:",
                             "Stop music", "Done"};
    for (int entry = 0; entry < 7; entry++) {
        menu_cursor = entry;
        frame({});
        EXPECT_EQ(button_mismatches(entry, labels[entry], entry == 4 ? "Harbour" : nullptr), 0) << labels[entry];
    }
    EXPECT_EQ(glyph_mismatches(screen, 100, 100, "Use arrow keys to change values. Length: 0 = disable.", small_font,
                               0x000000),
              0);
    EXPECT_EQ(background_phase, 2000 + 2 * 7);
}

TEST_F(SettingsScreen, EscapeKeepsTheChangesAndClosingQuits) {
    menu_cursor = 1;
    frame({SDLK_RIGHT, SDLK_DOWN, SDLK_LEFT, SDLK_ESCAPE});
    EXPECT_EQ(game_screen, SCREEN_MENU);
    EXPECT_EQ(race_settings.chain_length[1], 3);
    EXPECT_EQ(race_settings.chain_length[2], 4);
    game_screen = SCREEN_SETTINGS;
    push_quit();
    settings_frame();
    EXPECT_EQ(game_screen, SCREEN_QUIT);
}

TEST_F(SettingsScreen, ChangesLastThroughRacesAndTheMenu) {
    // From the main menu into the settings, as a player would.
    game_screen = SCREEN_MENU;
    menu_cursor = 0;
    push_key(SDLK_DOWN);
    push_key(SDLK_DOWN);
    push_key(SDLK_RETURN);
    menu_frame();
    ASSERT_EQ(game_screen, SCREEN_SETTINGS);
    frame({SDLK_UP, SDLK_UP, SDLK_LEFT, SDLK_LEFT, SDLK_LEFT});   // player 1: 7 -> 4
    frame({SDLK_DOWN, SDLK_RIGHT});                              // player 2: 2 -> 3
    frame({SDLK_DOWN, SDLK_DOWN, SDLK_RIGHT, SDLK_RIGHT});       // laps: 3 -> 5
    frame({SDLK_RETURN});
    ASSERT_EQ(game_screen, SCREEN_MENU);
    RaceSettings chosen = race_settings;
    EXPECT_EQ(chosen.chain_length[0], 4);
    EXPECT_EQ(chosen.chain_length[1], 3);
    EXPECT_EQ(chosen.chain_length[2], 5);
    EXPECT_EQ(chosen.laps, 5);

    for (bool two : {false, true}) {
        menu_cursor = two ? 1 : 0;
        menu_frame();
        push_key(SDLK_RETURN);
        menu_frame();
        ASSERT_EQ(game_screen, SCREEN_LOAD);
        load_level();
        ASSERT_EQ(game_screen, SCREEN_RACE);
        race_start_ticks = game_ticks() - 10000;
        race_frame();
        EXPECT_EQ(glyph_mismatches(screen, 85, 13, "/5", small_font, 0x000000), 0);
        push_key(SDLK_ESCAPE);
        race_frame();
        ASSERT_EQ(game_screen, SCREEN_MENU);
        EXPECT_TRUE(same_settings(race_settings, chosen));
    }
    menu_cursor = 2;
    push_key(SDLK_RETURN);
    menu_frame();
    ASSERT_EQ(game_screen, SCREEN_SETTINGS);
    frame({});
    EXPECT_TRUE(same_settings(race_settings, chosen));
    EXPECT_EQ(button_mismatches(2, "Player3 Length: 5"), 0);
}
