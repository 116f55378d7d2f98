// SPDX-License-Identifier: GPL-3.0-or-later
// The browser's key numbers as the game's: every key a player binds or a
// screen reads comes through, and none lands outside the held-key array.
#include <gtest/gtest.h>

#include "io/bindings.h"
#include "io/web_keys.h"

// The web's special keys: 1024 plus the USB scan code.
static int scan(int code) { return 1024 + code; }

TEST(WebKeys, SpecialAndCharacterKeys) {
    EXPECT_EQ(key_from_web(scan(82)), SDLK_UP);
    EXPECT_EQ(key_from_web(scan(81)), SDLK_DOWN);
    EXPECT_EQ(key_from_web(scan(80)), SDLK_LEFT);
    EXPECT_EQ(key_from_web(scan(79)), SDLK_RIGHT);
    EXPECT_EQ(key_from_web(scan(60)), SDLK_F3);
    EXPECT_EQ(key_from_web(scan(68)), SDLK_F11);
    EXPECT_EQ(key_from_web(scan(224)), SDLK_LCTRL);
    EXPECT_EQ(key_from_web(scan(228)), SDLK_RCTRL);
    EXPECT_EQ(key_from_web(scan(88)), SDLK_KP_ENTER);
    EXPECT_EQ(key_from_web(scan(98)), SDLK_KP0);
    EXPECT_EQ(key_from_web('w'), SDLK_w);
    EXPECT_EQ(key_from_web(27), SDLK_ESCAPE);
    EXPECT_EQ(key_from_web(13), SDLK_RETURN);
    EXPECT_EQ(key_from_web(127), SDLK_DELETE);
    // The browser's own codes for three punctuation keys.
    EXPECT_EQ(key_from_web(186), SDLK_SEMICOLON);
    EXPECT_EQ(key_from_web(187), SDLK_EQUALS);
    EXPECT_EQ(key_from_web(189), SDLK_MINUS);
}

TEST(WebKeys, EveryDefaultBindingReachable) {
    const KeyBindings b = default_key_bindings();
    auto reachable = [](SDLKey key) {
        for (int code = 1; code < 1024 + 256; code++)
            if (key_from_web(code) == key) return true;
        return false;
    };
    for (int p = 0; p < HUMAN_PLAYERS; p++)
        for (int a = 0; a < ACTIONS; a++) EXPECT_TRUE(reachable(b.keys[p][a])) << p << " " << a;
    EXPECT_TRUE(reachable(b.pause_key));
}

TEST(WebKeys, UnknownCodesStayInsideTheKeyArray) {
    EXPECT_EQ(key_from_web(0), SDLK_UNKNOWN);
    EXPECT_EQ(key_from_web(-5), SDLK_UNKNOWN);
    EXPECT_EQ(key_from_web(SDLK_LAST), SDLK_UNKNOWN);
    EXPECT_EQ(key_from_web(1000), SDLK_UNKNOWN);
    EXPECT_EQ(key_from_web(scan(200)), SDLK_UNKNOWN);
    EXPECT_EQ(key_from_web(0x40000052), SDLK_UNKNOWN);
    for (int code = -1; code < 0x10000; code++) {
        const int key = key_from_web(code);
        ASSERT_TRUE(key >= 0 && key < SDLK_LAST) << code;
    }
}
