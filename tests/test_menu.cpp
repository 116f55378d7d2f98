// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "base/clock.h"
#include "core/state.h"
#include "harness.h"
#include "io/assets.h"
#include "io/media.h"
#include "menu/menu.h"
#include "shell/shell.h"

// The colour rule written out once more, independently, in 32-bit ints.
static Uint32 reference_colour(int x, int y, int phase) {
    int v = x * y + 100 * phase;
    int c[3] = {(v / 500) % 255, (v / 450) % 255, (v / 400) % 255};
    for (int& k : c) {
        if (k <= 127) k -= 15;
        if (k > 128) k += 15;
        k += 90;
        if (k > 255) k = 255;
    }
    if (c[0] + c[1] + c[2] > 720) return 0xC8C8FF;
    return (Uint32)(c[0] << 16 | c[1] << 8 | c[2]);
}

TEST(MenuBackground, WorkedExampleAtPhase2000) {
    EXPECT_EQ(background_colour(0, 0, 2000), 0xC8C8FFu);
}

TEST(MenuBackground, ChannelsFollowTheBandRule) {
    // v = 0: every channel 0 -> -15 -> 75.
    EXPECT_EQ(background_colour(0, 0, 0), 0x4B4B4Bu);
    // v = 64000 gives r = 128 exactly, which stays 128 before the +90.
    EXPECT_EQ(background_colour(0, 0, 640) >> 16, 218u);
    for (int phase : {2000, 2002, 123456, 7000000})
        for (int x = 0; x <= 500; x += 37)
            for (int y = 0; y <= 500; y += 41)
                ASSERT_EQ(background_colour(x, y, phase), reference_colour(x, y, phase))
                    << x << "," << y << " at " << phase;
}

TEST(MenuBackground, StaysDefinedLongAfterThePhaseOutgrowsInt) {
    // Past the point where x*y + 100*P overflows 32 bits, the pattern goes on
    // repeating with its period instead.
    int p = 21400000;
    EXPECT_EQ(background_colour(500, 500, p), background_colour(500, 500, p - 45900 * 400));
    EXPECT_EQ(background_colour(250, 499, 2000000000), background_colour(250, 499, 2000000000 - 45900 * 40000));
}

TEST(MenuBackground, DrawingPaintsEveryPointAndAdvancesThePhase) {
    start_game_headless();
    background_phase = 2000;
    draw_background();
    EXPECT_EQ(background_phase, 2002);
    for (int x = 0; x < 500; x++)
        for (int y = 0; y < 500; y++) ASSERT_EQ(pixel_at(screen, x, y), reference_colour(x, y, 2000)) << x << "," << y;
    // A phase far on, where the bands have wrapped many times.
    background_phase = 21000000;
    draw_background();
    for (int x = 0; x < 500; x += 3)
        for (int y = 0; y < 500; y += 7)
            ASSERT_EQ(pixel_at(screen, x, y), reference_colour(x, y, 21000000)) << x << "," << y;
    background_phase = 2000000000;
    draw_background();
    EXPECT_GT(background_phase, 0);
    EXPECT_EQ(background_phase % 2, 0);
}

class MainMenu : public ::testing::Test {
  protected:
    void SetUp() override { start_game_headless(); }
};

TEST_F(MainMenu, StartsHighlightingTheFirstEntry) {
    menu_frame();
    EXPECT_EQ(game_screen, SCREEN_MENU);
    EXPECT_EQ(menu_cursor, 0);
    // The highlighted button is the opaque dark one; the others are lighter.
    EXPECT_EQ(pixel_at(screen, 300, 160), 0xAF28AAu);
    EXPECT_NE(pixel_at(screen, 300, 190), 0xAF28AAu);
    EXPECT_EQ(background_phase, 2002);
}

TEST_F(MainMenu, CursorMovesAndWraps) {
    push_key(SDLK_UP);
    menu_frame();
    EXPECT_EQ(menu_cursor, 3);
    push_key(SDLK_DOWN);
    menu_frame();
    EXPECT_EQ(menu_cursor, 0);
    menu_cursor = 2;
    push_key(SDLK_DOWN);
    push_key(SDLK_DOWN);
    menu_frame();
    EXPECT_EQ(menu_cursor, 0);   // 4 wraps once, after the queue is empty
    EXPECT_EQ(game_screen, SCREEN_MENU);
}

TEST_F(MainMenu, EnterCarriesOutEachEntry) {
    struct Case { int cursor; int screen; bool two; } cases[] = {
        {0, SCREEN_LOAD, false}, {1, SCREEN_LOAD, true}, {2, SCREEN_SETTINGS, false}, {3, SCREEN_QUIT, false}};
    for (const Case& c : cases) {
        game_screen = SCREEN_MENU;
        two_players = !c.two;
        menu_cursor = c.cursor;
        push_key(SDLK_RETURN);
        menu_frame();
        EXPECT_EQ(game_screen, c.screen) << c.cursor;
        if (c.screen == SCREEN_LOAD) {
            EXPECT_EQ(two_players, c.two);
        }
    }
}

TEST_F(MainMenu, UpAndEnterInOneFrameDoNothingButMove) {
    push_key(SDLK_UP);
    push_key(SDLK_RETURN);
    menu_frame();
    EXPECT_EQ(game_screen, SCREEN_MENU);
    EXPECT_EQ(menu_cursor, 3);
}

TEST_F(MainMenu, EscapeAndCloseQuit) {
    push_key(SDLK_ESCAPE);
    menu_frame();
    EXPECT_EQ(game_screen, SCREEN_QUIT);
    game_screen = SCREEN_MENU;
    push_quit();
    menu_frame();
    EXPECT_EQ(game_screen, SCREEN_QUIT);
}

TEST_F(MainMenu, KeysApplyInQueueOrder) {
    // Start and Escape in one frame: both apply, so the game quits.
    push_key(SDLK_RETURN);
    push_key(SDLK_ESCAPE);
    menu_frame();
    EXPECT_EQ(game_screen, SCREEN_QUIT);
    // Escape then Start: the later Start wins.
    game_screen = SCREEN_MENU;
    push_key(SDLK_ESCAPE);
    push_key(SDLK_RETURN);
    menu_frame();
    EXPECT_EQ(game_screen, SCREEN_LOAD);
    EXPECT_FALSE(two_players);
    // Key releases and other events are ignored.
    game_screen = SCREEN_MENU;
    SDL_Event up = {};
    up.type = SDL_KEYUP;
    up.key.keysym.sym = SDLK_DOWN;
    SDL_PushEvent(&up);
    menu_frame();
    EXPECT_EQ(menu_cursor, 0);
}

TEST_F(MainMenu, FrameLastsAtLeastTenMilliseconds) {
    Uint32 before = game_ticks();
    menu_frame();
    EXPECT_GE(game_ticks() - before, 10u);
}
