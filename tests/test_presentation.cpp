// The presentation: scaled and fullscreen windows and F11 (the pause under
// them is in test_overlay_pause.cpp), and the music decoded on its own thread.
#include <gtest/gtest.h>

#include "core/assets.h"
#include "core/media.h"
#include "core/present.h"
#include "core/state.h"
#include "harness.h"
#include "menu/menu.h"
#include "shell/music.h"
#include "shell/shell.h"
#include "shell/window.h"
#include "test_view_support.h"

namespace {

void push_f11() {
    push_key(SDLK_F11);
}

}  // namespace

TEST(Presentation, WithoutOptionsTheGameDrawsIntoTheWindowItself) {
    start_game_headless();
    EXPECT_EQ(screen, window_surface());
    EXPECT_EQ(screen, SDL_GetVideoSurface());
    EXPECT_EQ(window_scale(), 1);
    EXPECT_FALSE(window_is_fullscreen());
    EXPECT_EQ(screen->format->BitsPerPixel, 32);
    set_video_mode(800, 500);
    EXPECT_EQ(screen, SDL_GetVideoSurface());
    EXPECT_EQ(screen->w, 800);
}

TEST(Presentation, EveryScaleShowsEachPixelAsABlockAndOnlyChangedRowsAgain) {
    start_game_headless();
    PlainWindow restore;
    for (int scale : {2, 3, 4}) {
        window_configure(scale, false);
        set_video_mode(800, 500);
        ASSERT_NE(screen, window_surface());
        EXPECT_EQ(screen->w, 800);
        EXPECT_EQ(screen->h, 500);
        EXPECT_EQ(window_surface()->w, 800 * scale);
        EXPECT_EQ(window_surface()->h, 500 * scale);
        EXPECT_EQ(window_scale(), scale);
        paint_pattern(screen, 0);
        show_frame();
        enlarged_check c = check_enlarged(screen, window_surface(), scale, 0, 0);
        EXPECT_EQ(c.wrong_inside, 0) << "scale " << scale;
        // A few rows change, including the first and the last: the next
        // frame shows them and keeps the rest.
        for (int y : {0, 1, 250, 499}) {
            SDL_Rect row = {0, (Sint16)y, 800, 1};
            SDL_FillRect(screen, &row, SDL_MapRGB(screen->format, 255, 0, (Uint8)y));
        }
        show_frame();
        c = check_enlarged(screen, window_surface(), scale, 0, 0);
        EXPECT_EQ(c.wrong_inside, 0) << "scale " << scale << " after changed rows";
    }
    // The scale survives the switch back to the menu's window.
    set_video_mode(500, 500);
    EXPECT_EQ(window_surface()->w, 2000);
}

TEST(Presentation, EnlargingIntoAPlaceInsideALargerSurfaceLeavesTheRestAlone) {
    start_game_headless();
    SDL_Surface* picture = surface_like_screen(7, 5);
    SDL_Surface* big = surface_like_screen(40, 30);
    paint_pattern(picture, 3);
    SDL_FillRect(big, nullptr, 0);
    enlarge_rows(picture, big, 3, 9, 4, 0, picture->h);
    enlarged_check c = check_enlarged(picture, big, 3, 9, 4);
    EXPECT_EQ(c.wrong_inside, 0);
    EXPECT_EQ(c.lit_outside, 0);
    // Rows 2..3 only: the other rows of the place stay black.
    SDL_FillRect(big, nullptr, 0);
    enlarge_rows(picture, big, 2, 0, 0, 2, 4);
    EXPECT_EQ(raw_pixel(big, 0, 3) & 0xFFFFFF, 0u);
    EXPECT_EQ(raw_pixel(big, 1, 4), raw_pixel(picture, 0, 2));
    EXPECT_EQ(raw_pixel(big, 13, 7), raw_pixel(picture, 6, 3));
    EXPECT_EQ(raw_pixel(big, 0, 8) & 0xFFFFFF, 0u);
    SDL_FreeSurface(picture);
    SDL_FreeSurface(big);
}

TEST(Presentation, F11OnTheMenuTogglesFullscreenAndKeepsThePicture) {
    start_game_headless();
    PlainWindow restore;
    window_configure(2, false);
    set_video_mode(500, 500);
    menu_frame();
    SDL_Surface* before = copy_of_screen();
    push_f11();
    SDL_Event e;
    ASSERT_EQ(SDL_PollEvent(&e), 1);
    EXPECT_TRUE(presentation_key(e));
    EXPECT_TRUE(window_is_fullscreen());
    EXPECT_EQ(differing_pixels(before, screen), 0);
    EXPECT_TRUE(window_surface()->flags & SDL_FULLSCREEN);
    // A screen never sees F11: the menu's cursor and screen stay.
    push_f11();
    menu_frame();
    EXPECT_FALSE(window_is_fullscreen());
    EXPECT_EQ(game_screen, SCREEN_MENU);
    EXPECT_EQ(menu_cursor, 0);
    EXPECT_EQ(window_scale(), 2);
    EXPECT_FALSE(window_surface()->flags & SDL_FULLSCREEN);
    // Other keys are the screens' own.
    SDL_Event down = {};
    down.type = SDL_KEYDOWN;
    down.key.keysym.sym = SDLK_DOWN;
    EXPECT_FALSE(presentation_key(down));
    SDL_FreeSurface(before);
}

TEST(Music, DecodedOnItsThreadPlaysOnlyWhenTheMusicIsOn) {
    start_game_headless();
    Mix_HaltChannel(0);
    free_music();
    race_settings.music_on = false;
    start_music_decode("filut/musa.ogg");
    wait_for_music();
    ASSERT_NE(music_chunk, nullptr);
    EXPECT_GT(music_chunk->alen, 1000000u);
    EXPECT_EQ(Mix_Playing(0), 0);

    free_music();
    race_settings.music_on = true;
    start_music_decode("filut/musa.ogg");
    // Shown frames hand the chunk over once it is ready.
    for (int i = 0; i < 2000 && !music_chunk; i++) {
        SDL_Delay(1);
        show_frame();
    }
    ASSERT_NE(music_chunk, nullptr);
    EXPECT_EQ(Mix_Playing(0), 1);
}

TEST(Music, QuittingDuringTheDecodeAndAMissingFileAreQuiet) {
    start_game_headless();
    free_music();
    start_music_decode("filut/musa.ogg");
    free_music();   // at once: waits for the thread, keeps nothing
    EXPECT_EQ(music_chunk, nullptr);
    poll_music();
    EXPECT_EQ(music_chunk, nullptr);

    start_music_decode("filut/no-such-music.ogg");
    wait_for_music();
    EXPECT_EQ(music_chunk, nullptr);

    race_settings.music_on = true;
    start_music_decode("filut/musa.ogg");
    wait_for_music();
    EXPECT_NE(music_chunk, nullptr);
    EXPECT_EQ(Mix_Playing(0), 1);
}

