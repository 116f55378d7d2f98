// SPDX-License-Identifier: GPL-3.0-or-later
// The presentation: scaled and fullscreen windows and F11 (the pause under
// them is in test_overlay_pause.cpp), and the music decoded on its own thread.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/clock.h"
#include "core/state.h"
#include "harness.h"
#include "io/assets.h"
#include "io/media.h"
#include "io/present.h"
#include "menu/menu.h"
#include "shell/music.h"
#include "shell/shell.h"
#include "shell/window.h"
#include "test_view_support.h"
#include "view/view.h"

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

// What reached the display through the window's seam: every flip copies
// the whole window surface, every update only its rectangles, so a row the
// presentation forgets to send stays stale here.
struct SentToDisplay {
    static SentToDisplay* now;
    SDL_Surface* display = nullptr;
    int flips = 0, updates = 0;
    long rows_sent = 0;   // window rows, over all updates
    window_calls saved = window_output;
    SentToDisplay() {
        now = this;
        window_output.flip = [](SDL_Surface* w) {
            now->flips++;
            now->copy(w, {0, 0, (Uint16)w->w, (Uint16)w->h});
            return 0;
        };
        window_output.update = [](SDL_Surface* w, int n, SDL_Rect* rects) {
            now->updates++;
            for (int i = 0; i < n; i++) {
                now->copy(w, rects[i]);
                now->rows_sent += rects[i].h;
            }
        };
    }
    ~SentToDisplay() {
        window_output = saved;
        SDL_FreeSurface(display);
        now = nullptr;
    }
    void copy(SDL_Surface* w, SDL_Rect r) {
        if (!display || display->w != w->w || display->h != w->h) {
            SDL_FreeSurface(display);
            display = SDL_CreateRGBSurface(SDL_SWSURFACE, w->w, w->h, 32, w->format->Rmask, w->format->Gmask,
                                           w->format->Bmask, w->format->Amask);
            SDL_FillRect(display, nullptr, 0x00ABCDEF);   // nothing sent yet
        }
        ASSERT_GE(r.x, 0);
        ASSERT_GE(r.y, 0);
        ASSERT_LE(r.x + r.w, w->w);
        ASSERT_LE(r.y + r.h, w->h);
        for (int y = r.y; y < r.y + r.h; y++)
            std::memcpy((Uint8*)display->pixels + y * display->pitch + r.x * 4,
                        (Uint8*)w->pixels + y * w->pitch + r.x * 4, (size_t)r.w * 4);
    }
};
SentToDisplay* SentToDisplay::now = nullptr;

// Rows of `a` that differ from `b` (both the same size and layout).
int rows_differing(SDL_Surface* a, SDL_Surface* b) {
    int n = 0;
    for (int y = 0; y < a->h; y++)
        n += std::memcmp((Uint8*)a->pixels + y * a->pitch, (Uint8*)b->pixels + y * b->pitch, (size_t)a->w * 4) != 0;
    return n;
}

TEST(Presentation, OnlyChangedRowsAreSentAndTheDisplayShowsExactlyTheEnlargedPicture) {
    start_game_headless();
    PlainWindow restore;
    Uint32 seed = 12345;
    auto next = [&seed](Uint32 below) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % below;
    };
    for (int mode : {2, 3, 4, 0}) {   // 0: fullscreen, the picture centred on black
        SentToDisplay sent;
        window_configure(mode == 0 ? 1 : mode, mode == 0);
        set_video_mode(800, 500);
        const int scale = window_scale();
        SDL_Surface* win = window_surface();
        const int ox = (win->w - 800 * scale) / 2, oy = (win->h - 500 * scale) / 2;
        ASSERT_TRUE(window_presents_changes_only());
        paint_pattern(screen, (Uint32)mode);
        EXPECT_TRUE(present_frame());
        EXPECT_EQ(sent.flips, 1) << "the first frame of a window goes whole";
        SDL_Surface* before = copy_of_screen();
        for (int frame = 0; frame < 40; frame++) {
            const int kind = (int)next(5);
            if (kind == 1) {   // a pixel in the first or the last row
                SDL_Rect p = {(Sint16)next(800), (Sint16)(next(2) ? 499 : 0), 1, 1};
                SDL_FillRect(screen, &p, next(0xFFFFFF) | 1);
            } else if (kind == 2) {   // the whole picture moves
                paint_pattern(screen, (Uint32)frame * 31 + 7);
            } else if (kind >= 3) {   // a few boxes anywhere
                for (int i = (int)next(4); i >= 0; i--) {
                    SDL_Rect box = {(Sint16)next(800), (Sint16)next(500), (Uint16)(1 + next(300)), (Uint16)(1 + next(80))};
                    SDL_FillRect(screen, &box, next(0xFFFFFF));
                }
            }   // kind 0: nothing changes
            const int changed = rows_differing(screen, before);
            const long rows_before = sent.rows_sent;
            const int updates_before = sent.updates;
            const bool shown = present_frame();
            EXPECT_EQ(shown, changed > 0) << "scale " << scale << " frame " << frame;
            EXPECT_EQ(sent.updates - updates_before, changed > 0 ? 1 : 0);
            EXPECT_EQ(sent.rows_sent - rows_before, (long)changed * scale) << "exactly the changed rows";
            enlarged_check c = check_enlarged(screen, sent.display, scale, ox, oy);
            ASSERT_EQ(c.wrong_inside, 0) << "scale " << scale << " frame " << frame;
            ASSERT_EQ(c.lit_outside, 0) << "scale " << scale << " frame " << frame;
            blit_whole(screen, before, 0, 0);
        }
        EXPECT_EQ(sent.flips, 1);
        // Every other row changed: more bands than one update takes, so the
        // last band stretches over the rest, and the display is still right.
        for (int y = 0; y < 500; y += 2) {
            SDL_Rect row = {0, (Sint16)y, 800, 1};
            SDL_FillRect(screen, &row, 0x00FF8000);
        }
        EXPECT_TRUE(present_frame());
        EXPECT_EQ(check_enlarged(screen, sent.display, scale, ox, oy).wrong_inside, 0);
        // A still picture sends nothing, however often it is shown.
        const int flips = sent.flips, updates = sent.updates;
        for (int i = 0; i < 5; i++) EXPECT_FALSE(present_frame());
        EXPECT_EQ(sent.flips, flips);
        EXPECT_EQ(sent.updates, updates);
        SDL_FreeSurface(before);
    }
}

TEST(Presentation, AtScaleOneInAWindowEveryFrameIsFlipped) {
    start_game_headless();
    SentToDisplay sent;
    set_video_mode(500, 500);
    EXPECT_FALSE(window_presents_changes_only());
    for (int i = 0; i < 3; i++) EXPECT_TRUE(present_frame());
    EXPECT_EQ(sent.flips, 3);
    EXPECT_EQ(sent.updates, 0);
}

// Still screens: a pass of the countdown, the pause or the race end whose
// picture is the one already shown sends nothing, at every scale (the
// game's own window at scale 1 too) and fullscreen; the display still
// shows exactly the overlay's picture. Modes: 1 to 3, 0 fullscreen.
namespace {

int frames_sent(const SentToDisplay& s) {
    return s.flips + s.updates;
}

// Where the picture stands in the window, and at what scale.
struct placement {
    int scale, x, y;
};
placement placement_now() {
    SDL_Surface* w = window_surface();
    const int s = window_scale();
    return {s, (w->w - screen->w * s) / 2, (w->h - screen->h * s) / 2};
}

// Pixels of the display that are not the picture in `screen`.
long display_wrong(const SentToDisplay& sent) {
    const placement p = placement_now();
    const enlarged_check c = check_enlarged(screen, sent.display, p.scale, p.x, p.y);
    return c.wrong_inside + c.lit_outside;
}

// A two-player race on the first level in the given mode, its countdown
// running from now.
void two_player_race(int mode) {
    window_configure(mode == 0 ? 1 : mode, mode == 0);
    race_settings.level_index = 0;
    two_players = true;
    load_level();
}

}  // namespace

TEST(StillScreens, APausedRaceSendsItsPictureOnceThenNothingAndWholeAgainAfterF11) {
    start_game_headless();
    PlainWindow restore;
    for (int mode : {1, 2, 3, 0}) {
        SentToDisplay sent;
        two_player_race(mode);
        race_start_ticks = game_ticks() - 10000;
        race_frame();
        const int before = frames_sent(sent);
        hold_key(SDLK_LCTRL, true);
        push_key(SDLK_p);
        int passes = 0, after_first = 0, after_f11 = 0;
        long wrong = 0;
        SDL_Surface* first = nullptr;
        OverlayPasses hook([&] {
            passes++;
            if (passes == 1) {
                after_first = frames_sent(sent);
                first = copy_of_screen();
                push_key(SDLK_RETURN);   // no pause key: the picture stays
            }
            if (passes == 100 && mode == 2) push_key(SDLK_F11);
            if (passes == 101) after_f11 = frames_sent(sent);
            if (passes == 199) wrong = display_wrong(sent) + differing_pixels(first, screen);
            if (passes == 200) push_key(SDLK_p);
        });
        race_frame();
        release_all_keys();
        EXPECT_EQ(passes, 200);
        EXPECT_EQ(after_first - before, 1) << "mode " << mode << ": the first pass shows the pause";
        EXPECT_EQ(after_f11 - after_first, mode == 2 ? 1 : 0) << "mode " << mode << ": F11 opens the window anew";
        EXPECT_EQ(wrong, 0) << "mode " << mode << ": the display shows the pause all along";
        // The frame goes on and shows the window as the pause left it: flipped
        // at scale 1, unchanged above it.
        EXPECT_EQ(frames_sent(sent) - after_f11, mode == 1 ? 1 : 0) << "mode " << mode;
        if (mode == 2) {
            EXPECT_TRUE(window_is_fullscreen());
        }
        SDL_FreeSurface(first);
        set_video_mode(500, 500);
        if (window_is_fullscreen()) toggle_fullscreen();
    }
}

TEST(StillScreens, TheCountdownSendsOnePictureForEachLabel) {
    start_game_headless();
    PlainWindow restore;
    for (int mode : {1, 3, 0}) {
        SentToDisplay sent;
        two_player_race(mode);
        std::vector<Uint32> sent_at;   // ms after the race start
        int last = frames_sent(sent);
        long wrong = 0;
        OverlayPasses hook([&] {
            const Uint32 t = game_ticks() - race_start_ticks;
            if (frames_sent(sent) != last) sent_at.push_back(t);
            last = frames_sent(sent);
            if (t % 500 == 0 || t % 1000 == 990) wrong += display_wrong(sent);
        });
        race_frame();
        EXPECT_EQ(sent_at, (std::vector<Uint32>{0, 1000, 2000, 3000})) << "mode " << mode;
        EXPECT_EQ(wrong, 0) << "mode " << mode;
        EXPECT_EQ(frames_sent(sent) - last, mode == 1 ? 1 : 0) << "mode " << mode << ": the frame after it";
    }
}

TEST(StillScreens, TheRaceEndSendsOnlyWhenAKeyChangesWhatItShows) {
    start_game_headless();
    PlainWindow restore;
    for (int mode : {1, 3}) {
        SentToDisplay sent;
        two_player_race(mode);
        race_start_ticks = game_ticks() - 10000;
        race_frame();
        live_race.winner = 2;
        menu_cursor = 1;
        freeze_frame();
        std::vector<int> sent_in_pass;
        int last = frames_sent(sent);
        long wrong = 0;
        OverlayPasses hook([&] {
            sent_in_pass.push_back(frames_sent(sent) - last);
            last = frames_sent(sent);
            wrong += display_wrong(sent);
            switch (sent_in_pass.size()) {
                case 3: push_key(SDLK_LEFT); break;    // on "Ok": nothing changes
                case 5: push_key(SDLK_UP); break;      // to "Level:"
                case 7: push_key(SDLK_RETURN); break;  // on "Level:": nothing happens
                case 9: push_key(SDLK_RIGHT); break;   // the next level
                case 11: push_key(SDLK_ESCAPE); break;
            }
        });
        race_end_screen();
        EXPECT_EQ(sent_in_pass, (std::vector<int>{1, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0})) << "mode " << mode;
        EXPECT_EQ(wrong, 0) << "mode " << mode;
        EXPECT_EQ(race_settings.level_index, 1);
    }
}

// Enlarged or fullscreen, what showing a race frame takes, and a wait that
// ends a little late, count toward the next frame's 20 ms, so the race
// keeps 50 steps a second; at scale 1 in a window the frame is paced from
// its own start and flipped after, as ever.
TEST(RacePacing, ShowingCountsTowardTheNextFrameOnlyWhenEnlarged) {
    start_game_headless();
    PlainWindow restore;
    void (*game_show)() = show_frame_hook;
    static void (*real_show)() = nullptr;
    real_show = game_show;
    show_frame_hook = [] {
        real_show();
        clock_set(game_ticks() + 6);   // showing takes 6 ms
    };
    for (int mode : {3, 0, 1}) {
        two_player_race(mode);
        race_start_ticks = game_ticks() - 10000;
        race_frame();
        const Uint32 t0 = game_ticks();
        const int step0 = live_race.step;
        for (int i = 0; i < 100; i++) race_frame();
        EXPECT_EQ(live_race.step - step0, 100);
        EXPECT_EQ(game_ticks() - t0, mode == 1 ? 2600u : 2000u) << "mode " << mode;
        // A frame that leaves the race hands nothing on: the next race's
        // first frame counts from its own start.
        push_key(SDLK_ESCAPE);
        race_frame();
        two_player_race(mode);
        race_start_ticks = game_ticks() - 10000;
        const Uint32 start = game_ticks();
        race_frame();
        EXPECT_EQ(game_ticks() - start, 26u) << "mode " << mode;

        // Every wait ends 3 ms late: 50 frames a second still when enlarged.
        // A frame of 30 ms (late by more than a frame's time) starts the
        // count again from its end: no hurried frames after it.
        static int late_by = 0;
        virtual_delay_hook = [] { clock_set(game_ticks() + late_by); };
        late_by = 3;
        race_frame();
        Uint32 t = game_ticks();
        for (int i = 0; i < 100; i++) race_frame();
        EXPECT_EQ(game_ticks() - t, mode == 1 ? 2900u : 2000u) << "mode " << mode;
        late_by = 30;
        race_frame();
        late_by = 0;
        t = game_ticks();
        race_frame();
        race_frame();
        EXPECT_EQ(game_ticks() - t, mode == 1 ? 52u : 40u) << "mode " << mode;
        virtual_delay_hook = nullptr;
    }
    show_frame_hook = game_show;
}

TEST(Presentation, EnlargingIntoAPlaceInsideALargerSurfaceLeavesTheRestAlone) {
    start_game_headless();
    SDL_Surface* picture = surface_like_screen(7, 5);
    SDL_Surface* big = surface_like_screen(40, 30);
    paint_pattern(picture, 3);
    SDL_FillRect(big, nullptr, 0);
    // Seven pixels wide: four at a time, then the odd ones, at every scale.
    for (int scale : {1, 2, 3, 4}) {
        SDL_FillRect(big, nullptr, 0);
        enlarge_rows(picture, big, scale, 9, 4, 0, picture->h);
        enlarged_check c = check_enlarged(picture, big, scale, 9, 4);
        EXPECT_EQ(c.wrong_inside, 0) << "scale " << scale;
        EXPECT_EQ(c.lit_outside, 0) << "scale " << scale;
    }
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


// The menus draw a new backdrop at every pass, 100 a second on the virtual
// clock. At scale 1 every one is flipped, as the classic game does;
// enlarged, 60 a second at most go to the display, evenly, and the picture
// last sent is a whole, exact enlargement of one drawn.
TEST(MovingScreens, EnlargedMenusSendAtMostSixtyPicturesASecond) {
    start_game_headless();
    PlainWindow restore;
    for (int scale : {1, 3}) {
        window_configure(scale, false);
        set_video_mode(500, 500);
        game_screen = SCREEN_MENU;
        menu_cursor = 0;
        SentToDisplay sent;
        menu_frame();   // the first pass after the switch goes whole
        ASSERT_EQ(sent.flips, 1);
        sent.flips = 0;
        const Uint32 t0 = game_ticks();
        int passes = 0, longest_gap = 0, gap = 0;
        while (game_ticks() - t0 < 1000) {
            const int before = sent.flips + sent.updates;
            menu_frame();
            passes++;
            gap = sent.flips + sent.updates > before ? 0 : gap + 1;
            if (gap > longest_gap) longest_gap = gap;
        }
        EXPECT_EQ(passes, 100);
        if (scale == 1) {
            EXPECT_EQ(sent.flips, 100);
            continue;
        }
        EXPECT_GE(sent.updates + sent.flips, 59);
        EXPECT_LE(sent.updates + sent.flips, 61);
        EXPECT_LE(longest_gap, 1) << "never two passes in a row unsent";
        // What the display holds is the last picture sent, enlarged exactly;
        // the next pass that sends brings it up to date with `screen`.
        while (true) {
            const int before = sent.flips + sent.updates;
            menu_frame();
            if (sent.flips + sent.updates > before) break;
        }
        EXPECT_EQ(check_enlarged(screen, sent.display, 3, 0, 0).wrong_inside, 0);
    }
}
